// A file with one warning of -Wextra: a parameter nothing reads.
int Answer(int unused)
{
    return 42;
}
