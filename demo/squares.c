/* squares.c: sums the squares of a table, one call per element.
   squares.asm is the code made of it; c_debug.cmd debugs it by lines. */
int table[4] = { 1, 2, 3, 4 };
int total;
int count;

int square(int n)
{
    return n * n;
}

int main()
{
    total = 0;
    for (count = 0; count < 4; count++)
        total += square(table[count]);
    for (;;)
        ;
}
