// Program entry of brimlet. The start-up sequence grows here as the windows land.
int main() {
    return 0;
}
