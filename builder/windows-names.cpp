#include "windows-names.h"

#include <stdint.h>
#include <stdio.h>

namespace {

// Lower-case letters and their simple upper-case forms, as runs: every
// code point from first to last (every other one when alternate) becomes
// itself plus delta. Sorted by first; runs do not overlap.
struct FoldRun {
  uint16_t first, last;
  int32_t delta;
  bool alternate;
};

const FoldRun kFold[] = {
    // Basic Latin, Latin-1
    {0x0061, 0x007A, -32, false}, {0x00B5, 0x00B5, 743, false}, {0x00E0, 0x00F6, -32, false},
    {0x00F8, 0x00FE, -32, false}, {0x00FF, 0x00FF, 121, false},
    // Latin Extended-A
    {0x0101, 0x012F, -1, true}, {0x0131, 0x0131, -232, false}, {0x0133, 0x0137, -1, true},
    {0x013A, 0x0148, -1, true}, {0x014B, 0x0177, -1, true}, {0x017A, 0x017E, -1, true},
    {0x017F, 0x017F, -300, false},
    // Latin Extended-B
    {0x0180, 0x0180, 195, false}, {0x0183, 0x0185, -1, true}, {0x0188, 0x0188, -1, false},
    {0x018C, 0x018C, -1, false}, {0x0192, 0x0192, -1, false}, {0x0195, 0x0195, 97, false},
    {0x0199, 0x0199, -1, false}, {0x019A, 0x019A, 163, false}, {0x019E, 0x019E, 130, false},
    {0x01A1, 0x01A5, -1, true}, {0x01A8, 0x01A8, -1, false}, {0x01AD, 0x01AD, -1, false},
    {0x01B0, 0x01B0, -1, false}, {0x01B4, 0x01B6, -1, true}, {0x01B9, 0x01B9, -1, false},
    {0x01BD, 0x01BD, -1, false}, {0x01BF, 0x01BF, 56, false}, {0x01C5, 0x01C5, -1, false},
    {0x01C6, 0x01C6, -2, false}, {0x01C8, 0x01C8, -1, false}, {0x01C9, 0x01C9, -2, false},
    {0x01CB, 0x01CB, -1, false}, {0x01CC, 0x01CC, -2, false}, {0x01CE, 0x01DC, -1, true},
    {0x01DD, 0x01DD, -79, false}, {0x01DF, 0x01EF, -1, true}, {0x01F2, 0x01F2, -1, false},
    {0x01F3, 0x01F3, -2, false}, {0x01F5, 0x01F5, -1, false}, {0x01F9, 0x021F, -1, true},
    {0x0223, 0x0233, -1, true}, {0x023C, 0x023C, -1, false}, {0x023F, 0x0240, 10815, false},
    {0x0242, 0x0242, -1, false}, {0x0247, 0x024F, -1, true},
    // IPA Extensions
    {0x0250, 0x0250, 10783, false}, {0x0251, 0x0251, 10780, false}, {0x0252, 0x0252, 10782, false},
    {0x0253, 0x0253, -210, false}, {0x0254, 0x0254, -206, false}, {0x0256, 0x0257, -205, false},
    {0x0259, 0x0259, -202, false}, {0x025B, 0x025B, -203, false}, {0x025C, 0x025C, 42319, false},
    {0x0260, 0x0260, -205, false}, {0x0261, 0x0261, 42315, false}, {0x0263, 0x0263, -207, false},
    {0x0265, 0x0265, 42280, false}, {0x0266, 0x0266, 42308, false}, {0x0268, 0x0268, -209, false},
    {0x0269, 0x0269, -211, false}, {0x026A, 0x026A, 42308, false}, {0x026B, 0x026B, 10743, false},
    {0x026C, 0x026C, 42305, false}, {0x026F, 0x026F, -211, false}, {0x0271, 0x0271, 10749, false},
    {0x0272, 0x0272, -213, false}, {0x0275, 0x0275, -214, false}, {0x027D, 0x027D, 10727, false},
    {0x0280, 0x0280, -218, false}, {0x0282, 0x0282, 42307, false}, {0x0283, 0x0283, -218, false},
    {0x0287, 0x0287, 42282, false}, {0x0288, 0x0288, -218, false}, {0x0289, 0x0289, -69, false},
    {0x028A, 0x028B, -217, false}, {0x028C, 0x028C, -71, false}, {0x0292, 0x0292, -219, false},
    {0x029D, 0x029D, 42261, false}, {0x029E, 0x029E, 42258, false},
    // Combining ypogegrammeni, Greek and Coptic
    {0x0345, 0x0345, 84, false}, {0x0371, 0x0373, -1, true}, {0x0377, 0x0377, -1, false},
    {0x037B, 0x037D, 130, false}, {0x03AC, 0x03AC, -38, false}, {0x03AD, 0x03AF, -37, false},
    {0x03B1, 0x03C1, -32, false}, {0x03C2, 0x03C2, -31, false}, {0x03C3, 0x03CB, -32, false},
    {0x03CC, 0x03CC, -64, false}, {0x03CD, 0x03CE, -63, false}, {0x03D0, 0x03D0, -62, false},
    {0x03D1, 0x03D1, -57, false}, {0x03D5, 0x03D5, -47, false}, {0x03D6, 0x03D6, -54, false},
    {0x03D7, 0x03D7, -8, false}, {0x03D9, 0x03EF, -1, true}, {0x03F0, 0x03F0, -86, false},
    {0x03F1, 0x03F1, -80, false}, {0x03F2, 0x03F2, 7, false}, {0x03F3, 0x03F3, -116, false},
    {0x03F5, 0x03F5, -96, false}, {0x03F8, 0x03F8, -1, false}, {0x03FB, 0x03FB, -1, false},
    // Cyrillic and its supplement
    {0x0430, 0x044F, -32, false}, {0x0450, 0x045F, -80, false}, {0x0461, 0x0481, -1, true},
    {0x048B, 0x04BF, -1, true}, {0x04C2, 0x04CE, -1, true}, {0x04CF, 0x04CF, -15, false},
    {0x04D1, 0x052F, -1, true},
    // Armenian
    {0x0561, 0x0586, -48, false},
    // Georgian Mkhedruli (its capitals are Mtavruli)
    {0x10D0, 0x10FA, 3008, false}, {0x10FD, 0x10FF, 3008, false},
    // Cherokee small letters
    {0x13F8, 0x13FD, -8, false},
    // Phonetic extensions
    {0x1D79, 0x1D79, 35332, false}, {0x1D7D, 0x1D7D, 3814, false}, {0x1D8E, 0x1D8E, 35384, false},
    // Latin Extended Additional
    {0x1E01, 0x1E95, -1, true}, {0x1E9B, 0x1E9B, -59, false}, {0x1EA1, 0x1EFF, -1, true},
    // Greek Extended
    {0x1F00, 0x1F07, 8, false}, {0x1F10, 0x1F15, 8, false}, {0x1F20, 0x1F27, 8, false},
    {0x1F30, 0x1F37, 8, false}, {0x1F40, 0x1F45, 8, false}, {0x1F51, 0x1F57, 8, true},
    {0x1F60, 0x1F67, 8, false}, {0x1F70, 0x1F71, 74, false}, {0x1F72, 0x1F75, 86, false},
    {0x1F76, 0x1F77, 100, false}, {0x1F78, 0x1F79, 128, false}, {0x1F7A, 0x1F7B, 112, false},
    {0x1F7C, 0x1F7D, 126, false}, {0x1F80, 0x1F87, 8, false}, {0x1F90, 0x1F97, 8, false},
    {0x1FA0, 0x1FA7, 8, false}, {0x1FB0, 0x1FB1, 8, false}, {0x1FB3, 0x1FB3, 9, false},
    {0x1FBE, 0x1FBE, -7205, false}, {0x1FC3, 0x1FC3, 9, false}, {0x1FD0, 0x1FD1, 8, false},
    {0x1FE0, 0x1FE1, 8, false}, {0x1FE5, 0x1FE5, 7, false}, {0x1FF3, 0x1FF3, 9, false},
    // Letterlike symbols, number forms, enclosed letters
    {0x214E, 0x214E, -28, false}, {0x2170, 0x217F, -16, false}, {0x2184, 0x2184, -1, false},
    {0x24D0, 0x24E9, -26, false},
    // Glagolitic, Latin Extended-C, Coptic
    {0x2C30, 0x2C5F, -48, false}, {0x2C61, 0x2C61, -1, false}, {0x2C65, 0x2C65, -10795, false},
    {0x2C66, 0x2C66, -10792, false}, {0x2C68, 0x2C6C, -1, true}, {0x2C73, 0x2C73, -1, false},
    {0x2C76, 0x2C76, -1, false}, {0x2C81, 0x2CE3, -1, true}, {0x2CEC, 0x2CEE, -1, true},
    {0x2CF3, 0x2CF3, -1, false},
    // Georgian Nuskhuri (its capitals are Asomtavruli)
    {0x2D00, 0x2D25, -7264, false}, {0x2D27, 0x2D27, -7264, false}, {0x2D2D, 0x2D2D, -7264, false},
    // Cyrillic Extended-B, Latin Extended-D
    {0xA641, 0xA66D, -1, true}, {0xA681, 0xA69B, -1, true}, {0xA723, 0xA72F, -1, true},
    {0xA733, 0xA76F, -1, true}, {0xA77A, 0xA77C, -1, true}, {0xA77F, 0xA787, -1, true},
    {0xA78C, 0xA78C, -1, false}, {0xA791, 0xA793, -1, true}, {0xA794, 0xA794, 48, false},
    {0xA797, 0xA7A9, -1, true}, {0xA7B5, 0xA7C3, -1, true}, {0xA7C8, 0xA7CA, -1, true},
    {0xA7D1, 0xA7D1, -1, false}, {0xA7D7, 0xA7D9, -1, true}, {0xA7F6, 0xA7F6, -1, false},
    // Latin Extended-E, Cherokee Supplement
    {0xAB53, 0xAB53, -928, false}, {0xAB70, 0xABBF, -38864, false},
    // Fullwidth Latin
    {0xFF41, 0xFF5A, -32, false},
};

uint32_t Upper(uint32_t c) {
  size_t lo = 0, hi = sizeof kFold / sizeof kFold[0];
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (c > kFold[mid].last) lo = mid + 1;
    else hi = mid;
  }
  if (lo == sizeof kFold / sizeof kFold[0]) return c;
  const FoldRun &run = kFold[lo];
  if (c < run.first || (run.alternate && (c - run.first) % 2)) return c;
  return (uint32_t)((int32_t)c + run.delta);
}

// The character at *p of well-formed UTF-8 and its length; 0 for a byte
// that does not begin one.
size_t Decode(const std::string &s, size_t p, uint32_t *code) {
  unsigned char c = (unsigned char)s[p];
  size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || p + n > s.size()) return 0;
  uint32_t value = n == 1 ? c : c & (0x7F >> n);
  for (size_t i = 1; i < n; i++) {
    unsigned char next = (unsigned char)s[p + i];
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  static const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return n;
}

void Encode(uint32_t c, std::string *out) {
  if (c < 0x80) {
    out->push_back((char)c);
  } else if (c < 0x800) {
    out->push_back((char)(0xC0 | c >> 6));
    out->push_back((char)(0x80 | (c & 0x3F)));
  } else {
    out->push_back((char)(0xE0 | c >> 12));
    out->push_back((char)(0x80 | (c >> 6 & 0x3F)));
    out->push_back((char)(0x80 | (c & 0x3F)));
  }
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Why Windows refuses the component ("" when it does not).
std::string ComponentProblem(const std::string &part) {
  for (char c : part) {
    if ((unsigned char)c < 0x20) return "holds a control character, which Windows forbids in file names";
    if (std::string("<>:\"|?*").find(c) != std::string::npos)
      return std::string("holds '") + c + "', which Windows forbids in file names";
  }
  if (part.empty()) return "";
  if (part.back() == '.' && part.find_first_not_of(". ") != std::string::npos)
    return "ends in a dot, which Windows drops from file names";
  if (part.back() == ' ') return "ends in a blank, which Windows drops from file names";
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char &c : base)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
  static const char *const devices[] = {"CON", "PRN", "AUX", "NUL"};
  bool device = false;
  for (const char *d : devices) device = device || base == d;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
      base[3] <= '9')
    device = true;
  if (device) return "is the device " + base + " to Windows, not a file";
  return "";
}

}  // namespace

std::string WindowsNameFold(const std::string &name) {
  std::string out;
  out.reserve(name.size());
  for (size_t p = 0; p < name.size();) {
    uint32_t code;
    size_t n = Decode(name, p, &code);
    if (n == 0 || code >= 0x10000) {
      size_t take = n ? n : 1;
      out.append(name, p, take);
      p += take;
      continue;
    }
    Encode(Upper(code), &out);
    p += n;
  }
  return out;
}

std::string WindowsNameShown(const std::string &name) {
  std::string out = "'";
  for (size_t p = 0; p < name.size();) {
    uint32_t code;
    size_t n = Decode(name, p, &code);
    if (n == 0 || code < 0x20) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", (unsigned char)name[p]);
      out += hex;
      p++;
      continue;
    }
    out.append(name, p, n);
    p += n;
  }
  return out + "'";
}

std::string WindowsNameProblem(const std::string &name) {
  for (size_t p = 0; p < name.size();) {
    uint32_t code;
    size_t n = Decode(name, p, &code);
    if (n == 0) return WindowsNameShown(name) + " is not UTF-8; name the file in UTF-8";
    p += n;
  }
  size_t start = 0;
  for (size_t p = 0; p <= name.size(); p++) {
    if (p < name.size() && !IsSeparator(name[p])) continue;
    std::string problem = ComponentProblem(name.substr(start, p - start));
    if (!problem.empty()) {
      std::string shown = WindowsNameShown(name.substr(start, p - start));
      if (start > 0 || p < name.size()) shown += " in " + WindowsNameShown(name);
      return shown + " " + problem;
    }
    start = p + 1;
  }
  return "";
}

WindowsNameSet::Clash WindowsNameSet::Add(const std::string &name, std::string *other) {
  std::string fold = WindowsNameFold(name);
  for (char &c : fold)
    if (c == '/') c = '\\';
  auto file = files_.find(fold);
  if (file != files_.end()) {
    *other = file->second;
    return file->second == name ? NONE : SAME_FILE;
  }
  auto folder = folders_.find(fold);
  if (folder != folders_.end()) return *other = folder->second, FILE_FIRST;
  for (size_t cut = fold.find('\\'); cut != std::string::npos; cut = fold.find('\\', cut + 1)) {
    auto above = files_.find(fold.substr(0, cut));
    if (above != files_.end()) return *other = above->second, FOLDER_FIRST;
  }
  files_[fold] = name;
  for (size_t cut = fold.find('\\'); cut != std::string::npos; cut = fold.find('\\', cut + 1))
    folders_.emplace(fold.substr(0, cut), name);
  return NONE;
}
