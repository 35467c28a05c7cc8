// Placeholder until the picture taker is written.
int main() { return 0; }
