// Argument reading shared by the handlers.
#include "args.h"

#include <stdlib.h>

#include "script.h"
#include "utf8.h"
#include "vantor-core.h"

#define ARG_END 0x20           // the first byte value that belongs to an argument
#define FRACTION_DIGITS 40     // significant digits kept; more cannot change a double
#define FRACTION_EXPONENT 100000

int32_t ArgLength(const char *text) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  const unsigned char *p = (const unsigned char *)text;
  while (*p >= ARG_END) p++;
  return (int32_t)(p - (const unsigned char *)text);
}

int32_t ArgCopy(const char *text, char *buffer, int size) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  ASSERT(buffer != NULL, POINTER_IS_NULL);
  ASSERT(size > 0, "Buffer size is %d\n", size);
  int32_t length = ArgLength(text);
  int32_t copied = length < size - 1 ? length : Utf8Fit(text, size - 1);  // no character in pieces
  for (int32_t i = 0; i < copied; i++) buffer[i] = text[i];
  buffer[copied] = 0;
  return length;
}

void ArgBegin(ArgReader *reader, const char *text) {
  ASSERT(reader != NULL, POINTER_IS_NULL);
  ASSERT(text != NULL, POINTER_IS_NULL);
  reader->start = text;
  reader->next = text;
  reader->last = text;
  reader->end = NULL;  // the first NUL
}

void ArgBeginScript(ArgReader *reader, const InstallScript *script, const char *text) {
  ArgBegin(reader, text);
  ASSERT(script != NULL, POINTER_IS_NULL);
  if (script->text == NULL) return;
  const char *scriptEnd = script->text + script->textLength;
  if (text >= script->text && text <= scriptEnd) reader->end = scriptEnd;
}

// Moves past an argument of the given length and the byte that ended it,
// whatever that byte is, unless it is the end of the text.
static int32_t ArgStep(ArgReader *reader, int32_t length) {
  reader->last = reader->next + length;
  int atEnd = reader->end != NULL ? reader->last >= reader->end : *reader->last == 0;
  reader->next = atEnd ? reader->last : reader->last + 1;
  return length;
}

int32_t ArgNext(ArgReader *reader, char *buffer, int size) {
  ASSERT(reader != NULL, POINTER_IS_NULL);
  return ArgStep(reader, ArgCopy(reader->next, buffer, size));
}

int32_t ArgSkip(ArgReader *reader) {
  ASSERT(reader != NULL, POINTER_IS_NULL);
  return ArgStep(reader, ArgLength(reader->next));
}

int32_t ArgConsumed(const ArgReader *reader) {
  ASSERT(reader != NULL, POINTER_IS_NULL);
  return (int32_t)(reader->last - reader->start);
}

int32_t ArgConsumedWithEnd(const ArgReader *reader) {
  ASSERT(reader != NULL, POINTER_IS_NULL);
  return (int32_t)(reader->next - reader->start);
}

static int IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static int IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Leading white space and an optional sign; returns the first byte after them.
static const unsigned char *SkipSign(const char *text, int *negative) {
  const unsigned char *p = (const unsigned char *)text;
  while (IsSpace(*p)) p++;
  *negative = *p == '-';
  if (*p == '+' || *p == '-') p++;
  return p;
}

int32_t ArgInteger(const char *text) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  int negative;
  const unsigned char *p = SkipSign(text, &negative);
  uint32_t value = 0;
  for (; IsDigit(*p); p++) value = value * 10u + (uint32_t)(*p - '0');
  if (negative) value = 0u - value;
  return (int32_t)value;
}

// Adds a digit to a decimal exponent without letting it run away.
static int ExponentStep(int exponent, int digit) {
  return exponent > FRACTION_EXPONENT ? exponent : exponent * 10 + digit;
}

// The digits are gathered into a short, clean "digits e exponent" text that
// the C library then rounds correctly, so an argument of any length is read
// in bounded room and a hexadecimal or "inf" spelling is never taken.
double ArgFraction(const char *text) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  int negative;
  const unsigned char *p = SkipSign(text, &negative);
  char clean[FRACTION_DIGITS + 16];
  int count = 0;
  int exponent = 0;
  for (; IsDigit(*p); p++) {
    if (count == 0 && *p == '0') continue;
    if (count < FRACTION_DIGITS) clean[count++] = (char)*p;
    else if (exponent < FRACTION_EXPONENT) exponent++;
  }
  if (*p == '.') {
    for (p++; IsDigit(*p); p++) {
      if (count == 0 && *p == '0') {
        if (exponent > -FRACTION_EXPONENT) exponent--;
      } else if (count < FRACTION_DIGITS) {
        clean[count++] = (char)*p;
        exponent--;
      }
    }
  }
  if ((*p == 'e' || *p == 'E') && count > 0) {
    int expNegative = 0;
    const unsigned char *q = p + 1;
    if (*q == '+' || *q == '-') expNegative = *q++ == '-';
    int given = 0;
    for (; IsDigit(*q); q++) given = ExponentStep(given, *q - '0');
    exponent += expNegative ? -given : given;
  }
  if (count == 0) return negative ? -0.0 : 0.0;
  VantorFormat(clean + count, (int)sizeof clean - count, "e%d", exponent);
#if defined(_WIN32)
  // The system runtime's own conversion: the text reaches it normalised
  // (plain digits and an exponent), and the static C99 strtod would add some
  // 20 KB to the program.
  double value = atof(clean);
#else
  double value = strtod(clean, NULL);
#endif
  return negative ? -value : value;
}
