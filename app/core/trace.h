// The start-up and shut-down trace: a scope appends "<indent><name> >>" to the trace file when it
// opens and "<indent><name> <<" when it closes, one space of indent per scope already open. The
// file is "Trece.txt" in the program folder; a file that cannot be opened is skipped.
#pragma once

#include <string>

class TTraceScope {
public:
    static constexpr const char* FileName = "Trece.txt";

    explicit TTraceScope(std::string name);
    ~TTraceScope();
    TTraceScope(const TTraceScope&) = delete;
    TTraceScope& operator=(const TTraceScope&) = delete;

private:
    std::string name_;
    int depth_;
};

// Held by the program entry for the life of the program: traces "TLocalInit" when made and
// "~TLocalInit" when destroyed (two lines each).
class TLocalInit {
public:
    TLocalInit();
    ~TLocalInit();
    TLocalInit(const TLocalInit&) = delete;
    TLocalInit& operator=(const TLocalInit&) = delete;
};
