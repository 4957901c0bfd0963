// Linked with the whole of one library: building it is the check.
int main()
{
    return 0;
}
