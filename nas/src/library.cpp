// Loading and unloading the library do no work: all state lives in the calls and in NetConfig.
