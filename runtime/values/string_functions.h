// BASIC string functions: case, CHR$, substrings, trims, SPACE$/STRING$, INSTR, MID$ statement, comparisons, SWAP, LSET/RSET, ASC.
#pragma once
#include <cstdint>

struct rt_string;

// Results are temporaries. A function that returns a string consumes a temporary
// argument: it changes a modifiable temporary in place and returns it, or builds a
// new temporary and frees the argument. Functions that make a new temporary may
// compact the heap: earlier `chars` pointers die.
rt_string* string_ucase(rt_string* s);
rt_string* string_lcase(rt_string* s);
rt_string* string_chr(int64_t code);
rt_string* string_left(rt_string* s, int64_t count);
rt_string* string_right(rt_string* s, int64_t count);
rt_string* string_mid(rt_string* s, int64_t start, int64_t count);  // MID$(s, start, n)
rt_string* string_mid_to_end(rt_string* s, int64_t start);         // MID$(s, start)
rt_string* string_ltrim(rt_string* s);
rt_string* string_rtrim(rt_string* s);
rt_string* string_trim(rt_string* s);
rt_string* string_space(int64_t count);
rt_string* string_repeat(int64_t count, int64_t code);  // STRING$(n, code)

// INSTR([start,] s, find): passed bit 1 = start given. Does not consume.
int32_t string_instr(int64_t start, rt_string* s, rt_string* find, int32_t passed);

// MID$(dest, start[, n]) = src: passed bit 1 = n given. Consumes a temporary src.
void string_mid_statement(rt_string* dest, int64_t start, int64_t count, rt_string* src, int32_t passed);

// Comparisons: -1 true, 0 false. They do not consume.
int32_t string_equal(const rt_string* a, const rt_string* b);
int32_t string_not_equal(const rt_string* a, const rt_string* b);
int32_t string_less(const rt_string* a, const rt_string* b);
int32_t string_greater(const rt_string* a, const rt_string* b);
int32_t string_less_equal(const rt_string* a, const rt_string* b);
int32_t string_greater_equal(const rt_string* a, const rt_string* b);
// Byte-wise order: negative, 0 or positive.
int32_t string_compare(const rt_string* a, const rt_string* b);

// SWAP a$, b$. May move heap strings: earlier `chars` pointers die.
void string_swap(rt_string* a, rt_string* b);
// LSET / RSET dest = src: aligned copy into dest's length. Consume a temporary src.
void string_lset(rt_string* dest, rt_string* src);
void string_rset(rt_string* dest, rt_string* src);

// ASC(s[, pos]): passed bit 1 = pos given. Does not consume.
int32_t string_asc(rt_string* s, int64_t position, int32_t passed);
