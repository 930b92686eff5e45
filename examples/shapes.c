/* A small module to try kelpin on: kelpin functions examples/shapes.c */
#include <math.h>
#include <stdio.h>

#define PI 3.14159265358979

struct point {
    double x, y;
};

static const char *names[] = {"circle", "square", "triangle"};

static double square(double x)
{
    return x * x;
}

double distance(const struct point *a, const struct point *b)
{
    return sqrt(square(a->x - b->x) + square(a->y - b->y));
}

double circle_area(double radius) {
    return PI * square(radius);
}

/* Heron's formula; the braces in this comment { } are not code. */
double triangle_area(const struct point *a,
                     const struct point *b,
                     const struct point *c)
{
    double ab = distance(a, b), bc = distance(b, c), ca = distance(c, a);
    double s = (ab + bc + ca) / 2;
    if (s <= 0) {
        return 0;
    }
    return sqrt(s * (s - ab) * (s - bc) * (s - ca));
}

int main(void)
{
    struct point a = {0, 0}, b = {4, 0}, c = {0, 3};
    printf("%s: %g\n", names[0], circle_area(1));
    printf("%s: %g\n", names[2], triangle_area(&a, &b, &c));
    printf("\"}\" is just a character: '%c'\n", '}');
    return 0;
}
