/*-@@+@@--------------------------------[Do not edit manually]------------
 Module   : stock.c
 Created  : Sat Jun  1 12:00:00 2024
 Modified : Sat Jun  1 12:00:00 2024

 Author   : J. Tamsin
 Project  : Workshop stores
 Status   : An example with a dozen functions
 Abstract : A stock of parts: add, take, find,
            sort and value them.
 ------------------------------------------------------------------@@-@@-*/
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define NAME_MAX_LEN 31

struct item {
    char name[NAME_MAX_LEN + 1];
    int count;
    double price;
};

struct stock {
    struct item *items;
    size_t size, capacity;
};

struct stock *stock_new(size_t capacity)
{
    struct stock *s = malloc(sizeof *s);
    if (s == NULL)
        return NULL;
    s->items = calloc(capacity ? capacity : 1, sizeof *s->items);
    s->size = 0;
    s->capacity = capacity ? capacity : 1;
    return s;
}

void stock_free(struct stock *s)
{
    if (s != NULL) {
        free(s->items);
        free(s);
    }
}

static int grow(struct stock *s)
{
    struct item *bigger = realloc(s->items, 2 * s->capacity * sizeof *bigger);
    if (bigger == NULL)
        return -1;
    s->items = bigger;
    s->capacity *= 2;
    return 0;
}

struct item *stock_find(struct stock *s, const char *name)
{
    for (size_t i = 0; i < s->size; i++)
        if (strcmp(s->items[i].name, name) == 0)
            return &s->items[i];
    return NULL;
}

/*-@@+@@--------------------------------[Do not edit manually]------------
 Procedure: stock_add
 Created  : Sat Jun  1 12:00:00 2024
 Modified : Sat Jun  1 12:00:00 2024

 Synopsys : Adds count pieces of the item called name.
            An item already held gains the pieces.
 Input    : s: the stock; name: up to 31 characters
 Output   : 0 when added
 Errors   : -1 when the stock cannot grow
 ------------------------------------------------------------------@@-@@-*/
int stock_add(struct stock *s, const char *name, int count, double price)
{
    struct item *it = stock_find(s, name);
    if (it != NULL) {
        it->count += count;
        return 0;
    }
    if (s->size == s->capacity && grow(s) != 0)
        return -1;
    it = &s->items[s->size++];
    strncpy(it->name, name, NAME_MAX_LEN);
    it->name[NAME_MAX_LEN] = '\0';
    it->count = count;
    it->price = price;
    return 0;
}

int stock_take(struct stock *s, const char *name, int count)
{
    struct item *it = stock_find(s, name);
    if (it == NULL || it->count < count)
        return -1;
    it->count -= count;
    return 0;
}

double stock_value(const struct stock *s)
{
    double total = 0;
    for (size_t i = 0; i < s->size; i++)
        total += s->items[i].count * s->items[i].price;
    return total;
}

static int by_name(const void *a, const void *b)
{
    return strcmp(((const struct item *)a)->name, ((const struct item *)b)->name);
}

void stock_sort(struct stock *s)
{
    qsort(s->items, s->size, sizeof *s->items, by_name);
}

size_t stock_low(const struct stock *s, int below, const struct item **out, size_t max)
{
    size_t n = 0;
    for (size_t i = 0; i < s->size && n < max; i++)
        if (s->items[i].count < below)
            out[n++] = &s->items[i];
    return n;
}

void stock_print(const struct stock *s, FILE *to)
{
    for (size_t i = 0; i < s->size; i++)
        fprintf(to, "%-*s %5d %8.2f\n", NAME_MAX_LEN, s->items[i].name, s->items[i].count,
                s->items[i].price);
    fprintf(to, "total value: %.2f\n", stock_value(s));
}

int main(void)
{
    struct stock *s = stock_new(4);
    if (s == NULL)
        return 1;
    stock_add(s, "washers", 500, 0.02);
    stock_add(s, "bolts", 120, 0.15);
    stock_add(s, "hinges", 8, 2.40);
    stock_take(s, "bolts", 20);
    stock_sort(s);
    stock_print(s, stdout);
    stock_free(s);
    return 0;
}
