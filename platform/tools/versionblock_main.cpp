#include <cstdio>
int main(int, char** argv) { if (FILE* f = std::fopen(argv[1], "w")) std::fclose(f); return 0; }
