// The spectral brightness calculator (placeholder until the runtime can carry it).
int main() { return 0; }
