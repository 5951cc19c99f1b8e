// A file with one warning of -Wall: a local variable nothing reads.
int Answer()
{
    int unused = 41;
    return 42;
}
