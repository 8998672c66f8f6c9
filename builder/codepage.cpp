#include "codepage.h"

#include <stdint.h>
#include <stdio.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// Windows-1252's characters for 0x80-0x9F (0: none); 0xA0-0xFF are U+00A0-U+00FF.
const uint16_t k1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The next character of UTF-8 text at *p; false when the bytes are not
// well-formed.
bool NextChar(const std::string &text, size_t *p, uint32_t *code) {
  unsigned char c = (unsigned char)text[*p];
  int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || *p + extra >= text.size() + (extra == 0)) return false;
  uint32_t value = extra == 0 ? c : c & (0x3F >> extra);
  for (int i = 1; i <= extra; i++) {
    unsigned char next = (unsigned char)text[*p + i];
    if ((next & 0xC0) != 0x80) return false;
    value = value << 6 | (next & 0x3F);
  }
  static const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
  if (value < least[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *p += extra + 1;
  *code = value;
  return true;
}

}  // namespace

size_t CodepageUtf8Error(const std::string &text) {
  for (size_t p = 0; p < text.size();) {
    uint32_t code;
    if (!NextChar(text, &p, &code)) return p;
  }
  return std::string::npos;
}

namespace {

// "LINE:COLUMN" of the byte at offset in text.
std::string PlaceIn(const std::string &text, size_t offset) {
  size_t line = 1, start = 0;
  for (size_t i = 0; i < offset && i < text.size(); i++)
    if (text[i] == '\n') line++, start = i + 1;
  return std::to_string(line) + ":" + std::to_string(offset - start + 1);
}

void Append(uint32_t code, std::string *out) {
  if (code < 0x80) {
    out->push_back((char)code);
    return;
  }
  static const unsigned char lead[4] = {0, 0xC0, 0xE0, 0xF0};
  int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  out->push_back((char)(lead[extra] | code >> (6 * extra)));
  for (int i = extra - 1; i >= 0; i--) out->push_back((char)(0x80 | (code >> (6 * i) & 0x3F)));
}

bool FromUtf16(const std::string &bytes, bool big, std::string *text, std::string *problem) {
  if (bytes.size() % 2) return *problem = "UTF-16 text of an odd number of bytes", false;
  text->clear();
  for (size_t i = 2; i < bytes.size(); i += 2) {
    auto unit = [&](size_t at) {
      unsigned char a = (unsigned char)bytes[at], b = (unsigned char)bytes[at + 1];
      return (uint32_t)(big ? a << 8 | b : b << 8 | a);
    };
    uint32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 2 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      return *problem = PlaceIn(*text, text->size()) + ": a lone UTF-16 surrogate", false;
    }
    Append(code, text);
  }
  return true;
}

bool FromCodepage(const std::string &bytes, int codepage, std::string *text, std::string *problem) {
  text->clear();
  if (codepage == 1252) {
    for (size_t i = 0; i < bytes.size(); i++) {
      unsigned char c = (unsigned char)bytes[i];
      uint32_t code = c >= 0x80 && c < 0xA0 ? k1252[c - 0x80] : c;
      if (code == 0) {
        char hex[8];
        snprintf(hex, sizeof hex, "0x%02X", c);
        return *problem = PlaceIn(bytes, i) + ": byte " + hex + " is no character of code page 1252", false;
      }
      Append(code, text);
    }
    return true;
  }
#ifndef _WIN32
  char name[32];
  snprintf(name, sizeof name, "CP%d", codepage);
  iconv_t cd = iconv_open("UTF-8", name);
  if (cd == (iconv_t)-1) return *problem = "code page " + std::to_string(codepage) + " is unknown here", false;
  std::string input = bytes;
  char *in = &input[0];
  size_t left = input.size();
  std::string buffer(bytes.size() * 4 + 16, '\0');
  char *to = &buffer[0];
  size_t room = buffer.size();
  size_t result = left ? iconv(cd, &in, &left, &to, &room) : 0;
  iconv_close(cd);
  if (result == (size_t)-1) {
    size_t at = (size_t)(in - &input[0]);
    char hex[8];
    snprintf(hex, sizeof hex, "0x%02X", (unsigned char)bytes[at]);
    *problem = PlaceIn(bytes, at) + ": byte " + hex + " is no character of code page " + std::to_string(codepage);
    return false;
  }
  text->assign(&buffer[0], to);
  return true;
#else
  const int size = (int)bytes.size(), flags = MB_ERR_INVALID_CHARS;
  int n = size ? MultiByteToWideChar((UINT)codepage, flags, bytes.data(), size, NULL, 0) : 0;
  std::wstring wide((size_t)n, L'\0');
  if (size && (n == 0 || MultiByteToWideChar((UINT)codepage, flags, bytes.data(), size, &wide[0], n) != n))
    return *problem = "text that code page " + std::to_string(codepage) + " cannot read, or a code page unknown here",
           false;
  int m = n ? WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, NULL, 0, NULL, NULL) : 0;
  text->assign((size_t)m, '\0');
  if (m) WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, &(*text)[0], m, NULL, NULL);
  return true;
#endif
}

}  // namespace

bool CodepageReadText(const std::string &bytes, int codepage, std::string *text, std::string *problem) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return FromUtf16(bytes, false, text, problem);
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) return FromUtf16(bytes, true, text, problem);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return *text = bytes.substr(3), true;
  if (codepage == 0 || CodepageUtf8Error(bytes) == std::string::npos) return *text = bytes, true;
  return FromCodepage(bytes, codepage, text, problem);
}

std::u16string CodepageWideText(const std::string &text) {
  std::u16string out;
  size_t p = 0;
  for (uint32_t code; p < text.size() && NextChar(text, &p, &code);) {
    if (code >= 0x10000) {
      out.push_back((char16_t)(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back((char16_t)(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      out.push_back((char16_t)code);
    }
  }
  if (p == text.size()) return out;
  out.clear();
  for (unsigned char c : text) {
    char16_t w = c >= 0x80 && c < 0xA0 ? k1252[c - 0x80] : c;
    out.push_back(w ? w : u'?');
  }
  return out;
}
