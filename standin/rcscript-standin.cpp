// The resource-script reader of the native dialogs: dialog templates (their
// controls, styles, captions and fonts) read from install.rc as it stands,
// with the #define names of the headers it includes.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "windows-standin.h"

// ---- Names the resource script may use (styles, standard ids) -------------------------------------------------------

struct StyleName {
  const char *name;
  uint32_t value;
};

static const StyleName styleNames[] = {
    {"WS_OVERLAPPED", 0},          {"WS_POPUP", 0x80000000u},      {"WS_CHILD", 0x40000000u},
    {"WS_VISIBLE", 0x10000000u},   {"WS_DISABLED", 0x08000000u},   {"WS_CLIPSIBLINGS", 0x04000000u},
    {"WS_CLIPCHILDREN", 0x02000000u}, {"WS_CAPTION", 0x00C00000u}, {"WS_BORDER", 0x00800000u},
    {"WS_DLGFRAME", 0x00400000u},  {"WS_VSCROLL", 0x00200000u},    {"WS_HSCROLL", 0x00100000u},
    {"WS_SYSMENU", 0x00080000u},   {"WS_THICKFRAME", 0x00040000u}, {"WS_GROUP", 0x00020000u},
    {"WS_TABSTOP", 0x00010000u},   {"DS_ABSALIGN", 0x01},          {"DS_SYSMODAL", 0x02},
    {"DS_3DLOOK", 0x04},           {"DS_FIXEDSYS", 0x08},          {"DS_NOFAILCREATE", 0x10},
    {"DS_LOCALEDIT", 0x20},        {"DS_SETFONT", 0x40},           {"DS_MODALFRAME", 0x80},
    {"DS_NOIDLEMSG", 0x100},       {"DS_SETFOREGROUND", 0x200},    {"DS_CONTROL", 0x400},
    {"DS_CENTER", 0x800},          {"DS_CENTERMOUSE", 0x1000},     {"ES_LEFT", 0},
    {"ES_CENTER", 0x01},           {"ES_RIGHT", 0x02},             {"ES_MULTILINE", 0x04},
    {"ES_UPPERCASE", 0x08},        {"ES_LOWERCASE", 0x10},         {"ES_PASSWORD", 0x20},
    {"ES_AUTOVSCROLL", 0x40},      {"ES_AUTOHSCROLL", 0x80},       {"ES_NOHIDESEL", 0x100},
    {"ES_READONLY", 0x800},        {"ES_WANTRETURN", 0x1000},      {"ES_NUMBER", 0x2000},
    {"BS_PUSHBUTTON", 0},          {"BS_DEFPUSHBUTTON", 0x01},     {"BS_CHECKBOX", 0x02},
    {"BS_AUTOCHECKBOX", 0x03},     {"BS_RADIOBUTTON", 0x04},       {"BS_GROUPBOX", 0x07},
    {"BS_AUTORADIOBUTTON", 0x09},  {"SS_LEFT", 0},                 {"SS_CENTER", 0x01},
    {"SS_RIGHT", 0x02},            {"SS_ICON", 0x03},              {"SS_LEFTNOWORDWRAP", 0x0C},
    {"SS_NOPREFIX", 0x80},         {"PBS_SMOOTH", 0x01},           {"PBS_VERTICAL", 0x04},
    {"IDOK", 1},                   {"IDCANCEL", 2},                {"IDC_STATIC", (uint32_t)-1},
};


uint32_t DialogStandInStyle(const char *name) {
  for (const StyleName &s : styleNames)
    if (strcmp(s.name, name) == 0) return s.value;
  return 0;
}

static int StyleKnown(const char *name, uint32_t *value) {
  for (const StyleName &s : styleNames)
    if (strcmp(s.name, name) == 0) return *value = s.value, 1;
  return 0;
}

char *StandInCopyText(const char *text) {
  size_t size = strlen(text) + 1;
  char *copy = (char *)malloc(size);
  memcpy(copy, text, size);
  return copy;
}

void StandInReplaceText(char **slot, const char *text) {
  free(*slot);
  *slot = StandInCopyText(text);
}

// ---- Templates ---------------------------------------------------------

static Template *templates;
static int templateCount;

struct Define {
  char name[64];
  long value;
};
static Define *defines;
static int defineCount;

static void FreeTemplates(void) {
  for (int i = 0; i < templateCount; i++) {
    for (int c = 0; c < templates[i].controlCount; c++) {
      free(templates[i].controls[c].statement);
      free(templates[i].controls[c].className);
      free(templates[i].controls[c].text);
    }
    free(templates[i].controls);
    free(templates[i].caption);
    free(templates[i].fontName);
  }
  free(templates);
  templates = NULL;
  templateCount = 0;
  free(defines);
  defines = NULL;
  defineCount = 0;
}

const Template *StandInFindTemplate(int id) {
  for (int i = 0; i < templateCount; i++)
    if (templates[i].id == id) return &templates[i];
  return NULL;
}

int StandInTemplateCount(void) { return templateCount; }

// The lexer of the resource script: names, numbers, strings, punctuation;
// comments skipped; preprocessor lines handed to the define reader.
enum TokenKind { TOKEN_END, TOKEN_NAME, TOKEN_NUMBER, TOKEN_STRING, TOKEN_PUNCT };

struct Token {
  TokenKind kind;
  char text[512];
  long number;
  int line;
};

struct Lexer {
  const char *p;
  int line;
  const char *directory;  // of the script, for #include "..."
  const char *path;
  int failed;
};

static int ReadDefines(const char *path);

static void Directive(Lexer *lx, const char *start, const char *end) {
  char line[1024];
  size_t n = (size_t)(end - start) < sizeof line - 1 ? (size_t)(end - start) : sizeof line - 1;
  memcpy(line, start, n);
  line[n] = 0;
  char name[64], file[512];
  long value;
  if (sscanf(line, "#include \"%255[^\"]\"", file) == 1) {
    char full[1024];
    snprintf(full, sizeof full, "%s/%s", lx->directory, file);
    if (!ReadDefines(full)) lx->failed = 1;
  } else if (sscanf(line, "#define %63s %li", name, &value) == 2) {
    defines = (Define *)realloc(defines, sizeof(Define) * (size_t)(defineCount + 1));
    snprintf(defines[defineCount].name, sizeof defines[defineCount].name, "%s", name);
    defines[defineCount].value = value;
    defineCount++;
  }
}

static void SkipSpace(Lexer *lx) {
  for (;;) {
    const char *p = lx->p;
    if (*p == '\n') {
      lx->line++;
      lx->p++;
    } else if (isspace((unsigned char)*p)) {
      lx->p++;
    } else if (p[0] == '/' && p[1] == '/') {
      while (*lx->p && *lx->p != '\n') lx->p++;
    } else if (p[0] == '/' && p[1] == '*') {
      lx->p += 2;
      while (*lx->p && !(lx->p[0] == '*' && lx->p[1] == '/')) lx->line += *lx->p++ == '\n';
      if (*lx->p) lx->p += 2;
    } else if (*p == '#') {
      const char *end = p;
      while (*end && *end != '\n') end++;
      Directive(lx, p, end);
      lx->p = end;
    } else {
      return;
    }
  }
}

static Token Next(Lexer *lx) {
  Token t;
  memset(&t, 0, sizeof t);
  SkipSpace(lx);
  t.line = lx->line;
  const char *p = lx->p;
  if (*p == 0) {
    t.kind = TOKEN_END;
  } else if (*p == '"') {
    size_t n = 0;
    p++;
    while (*p && !(*p == '"' && p[1] != '"')) {
      char c = *p++;
      if (c == '"') c = *p++;  // "" stands for one quote
      else if (c == '\\' && *p) {
        c = *p++;
        if (c == 'n') c = '\n';
        else if (c == 't') c = '\t';
      }
      if (n < sizeof t.text - 1) t.text[n++] = c;
    }
    if (*p == '"') p++;
    t.kind = TOKEN_STRING;
  } else if (isdigit((unsigned char)*p) || (*p == '-' && isdigit((unsigned char)p[1]))) {
    char *end;
    t.number = strtol(p, &end, 0);
    while (*end == 'L' || *end == 'l' || *end == 'U' || *end == 'u') end++;
    p = end;
    t.kind = TOKEN_NUMBER;
  } else if (isalpha((unsigned char)*p) || *p == '_') {
    size_t n = 0;
    while (isalnum((unsigned char)*p) || *p == '_') {
      if (n < sizeof t.text - 1) t.text[n++] = *p;
      p++;
    }
    t.kind = TOKEN_NAME;
  } else {
    t.text[0] = *p++;
    t.kind = TOKEN_PUNCT;
  }
  lx->p = p;
  return t;
}

static Token Peek(Lexer *lx) {
  Lexer copy = *lx;
  return Next(&copy);
}

static int IsPunct(const Token &t, char c) { return t.kind == TOKEN_PUNCT && t.text[0] == c; }
static int IsName(const Token &t, const char *name) { return t.kind == TOKEN_NAME && strcmp(t.text, name) == 0; }

static void Fail(Lexer *lx, const Token &t, const char *what) {
  if (!lx->failed) fprintf(stderr, "%s:%d: error: %s\n", lx->path, t.line, what);
  lx->failed = 1;
}

static int Lookup(const char *name, long *value) {
  for (int i = defineCount - 1; i >= 0; i--)
    if (strcmp(defines[i].name, name) == 0) return *value = defines[i].value, 1;
  uint32_t style;
  if (StyleKnown(name, &style)) return *value = (long)style, 1;
  return 0;
}

static long Value(Lexer *lx) {
  Token t = Next(lx);
  long value = 0;
  if (t.kind == TOKEN_NUMBER) return t.number;
  if (t.kind == TOKEN_NAME && Lookup(t.text, &value)) return value;
  Fail(lx, t, "number or known name expected");
  return 0;
}

// A style expression: terms joined by '|', a term prefixed by NOT clears.
static void StyleExpression(Lexer *lx, uint32_t *style) {
  for (;;) {
    Token t = Peek(lx);
    int clear = IsName(t, "NOT");
    if (clear) Next(lx);
    uint32_t value = (uint32_t)Value(lx);
    if (clear) *style &= ~value;
    else *style |= value;
    if (!IsPunct(Peek(lx), '|')) return;
    Next(lx);
  }
}

static void Comma(Lexer *lx) {
  if (IsPunct(Peek(lx), ',')) Next(lx);
}

struct ControlKind {
  const char *statement;
  const char *className;
  int hasText;
  uint32_t style;
};

static const ControlKind controlKinds[] = {
    {"EDITTEXT", "EDIT", 0, S_WS_CHILD | S_WS_VISIBLE | S_WS_BORDER | S_WS_TABSTOP},
    {"PUSHBUTTON", "BUTTON", 1, S_WS_CHILD | S_WS_VISIBLE | S_WS_TABSTOP},
    {"DEFPUSHBUTTON", "BUTTON", 1, S_WS_CHILD | S_WS_VISIBLE | S_WS_TABSTOP | S_BS_DEFPUSHBUTTON},
    {"LTEXT", "STATIC", 1, S_WS_CHILD | S_WS_VISIBLE | S_WS_GROUP},
    {"CTEXT", "STATIC", 1, S_WS_CHILD | S_WS_VISIBLE | S_WS_GROUP | 0x01},
    {"RTEXT", "STATIC", 1, S_WS_CHILD | S_WS_VISIBLE | S_WS_GROUP | 0x02},
    {"GROUPBOX", "BUTTON", 1, S_WS_CHILD | S_WS_VISIBLE | 0x07},
    {"CONTROL", NULL, 1, S_WS_CHILD | S_WS_VISIBLE},
};

static void ParseControl(Lexer *lx, const ControlKind *kind, Template *dialog) {
  TemplateControl c;
  memset(&c, 0, sizeof c);
  c.statement = StandInCopyText(kind->statement);
  c.style = kind->style;
  char text[512] = "";
  if (kind->hasText) {
    Token t = Next(lx);
    if (t.kind == TOKEN_STRING) snprintf(text, sizeof text, "%s", t.text);
    else if (t.kind != TOKEN_NUMBER && t.kind != TOKEN_NAME) Fail(lx, t, "control text expected");
    Comma(lx);
  }
  c.text = StandInCopyText(text);
  c.id = (int)Value(lx);
  Comma(lx);
  if (kind->className == NULL) {
    Token cls = Next(lx);
    if (cls.kind != TOKEN_STRING && cls.kind != TOKEN_NAME) Fail(lx, cls, "control class expected");
    c.className = StandInCopyText(cls.text);
    Comma(lx);
    StyleExpression(lx, &c.style);
    Comma(lx);
  } else {
    c.className = StandInCopyText(kind->className);
  }
  c.x = (int)Value(lx), Comma(lx);
  c.y = (int)Value(lx), Comma(lx);
  c.width = (int)Value(lx), Comma(lx);
  c.height = (int)Value(lx);
  if (kind->className != NULL && IsPunct(Peek(lx), ',')) {
    Next(lx);
    StyleExpression(lx, &c.style);
  }
  if (IsPunct(Peek(lx), ',')) {  // extended style: not kept
    Next(lx);
    uint32_t ignored = 0;
    StyleExpression(lx, &ignored);
  }
  dialog->controls =
      (TemplateControl *)realloc(dialog->controls, sizeof(TemplateControl) * (size_t)(dialog->controlCount + 1));
  dialog->controls[dialog->controlCount++] = c;
}

static void SkipLine(Lexer *lx, int line) {
  while (!lx->failed && Peek(lx).kind != TOKEN_END && Peek(lx).line == line) Next(lx);
}

static void ParseDialog(Lexer *lx, int id) {
  Template d;
  memset(&d, 0, sizeof d);
  d.id = id;
  static const char *memoryFlags[] = {"DISCARDABLE", "MOVEABLE", "PURE", "PRELOAD", "LOADONCALL", "IMPURE", "FIXED"};
  for (int again = 1; again;) {
    again = 0;
    for (const char *flag : memoryFlags)
      if (IsName(Peek(lx), flag)) Next(lx), again = 1;
  }
  d.x = (int)Value(lx), Comma(lx);
  d.y = (int)Value(lx), Comma(lx);
  d.width = (int)Value(lx), Comma(lx);
  d.height = (int)Value(lx);
  uint32_t style = S_WS_POPUP | S_WS_BORDER | S_WS_SYSMENU;
  int hasCaption = 0, hasFont = 0;
  char caption[512] = "";
  char font[512] = "";
  for (;;) {
    Token t = Next(lx);
    if (lx->failed) break;
    if (IsName(t, "BEGIN") || IsPunct(t, '{')) break;
    if (IsName(t, "STYLE")) {
      style = 0;
      StyleExpression(lx, &style);
    } else if (IsName(t, "CAPTION")) {
      Token c = Next(lx);
      snprintf(caption, sizeof caption, "%s", c.text);
      hasCaption = 1;
    } else if (IsName(t, "FONT")) {
      d.fontSize = (int)Value(lx);
      Comma(lx);
      Token f = Next(lx);
      snprintf(font, sizeof font, "%s", f.text);
      hasFont = 1;
      SkipLine(lx, f.line);
    } else if (t.kind == TOKEN_END) {
      Fail(lx, t, "BEGIN expected");
    } else {
      SkipLine(lx, t.line);  // EXSTYLE, LANGUAGE, CLASS, MENU, ...
    }
  }
  if (hasCaption) style |= S_WS_CAPTION;
  if (hasFont) style |= S_DS_SETFONT;
  d.style = style;
  d.caption = StandInCopyText(caption);
  d.fontName = StandInCopyText(font);
  while (!lx->failed) {
    Token t = Next(lx);
    if (IsName(t, "END") || IsPunct(t, '}')) break;
    const ControlKind *kind = NULL;
    for (const ControlKind &k : controlKinds)
      if (IsName(t, k.statement)) kind = &k;
    if (kind == NULL) {
      Fail(lx, t, "control statement expected");
      break;
    }
    ParseControl(lx, kind, &d);
  }
  templates = (Template *)realloc(templates, sizeof(Template) * (size_t)(templateCount + 1));
  templates[templateCount++] = d;
}

static char *ReadFile(const char *path) {
  FILE *f = fopen(path, "rb");
  if (f == NULL) return NULL;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  char *text = (char *)malloc((size_t)size + 1);
  size_t got = fread(text, 1, (size_t)size, f);
  text[got] = 0;
  fclose(f);
  return text;
}

static int ReadScript(const char *path, int dialogs);

static int ReadDefines(const char *path) { return ReadScript(path, 0); }

// Reads a resource script (dialogs 1) or a header (only its #define lines).
static int ReadScript(const char *path, int dialogs) {
  char *text = ReadFile(path);
  if (text == NULL) {
    fprintf(stderr, "%s: cannot read\n", path);
    return 0;
  }
  char directory[1024];
  snprintf(directory, sizeof directory, "%s", path);
  char *slash = strrchr(directory, '/');
  if (slash != NULL) *slash = 0;
  else snprintf(directory, sizeof directory, ".");
  Lexer lx = {text, 1, directory, path, 0};
  while (!lx.failed) {
    Token t = Next(&lx);
    if (t.kind == TOKEN_END) break;
    if (!dialogs) continue;
    Token kind = Peek(&lx);
    if ((t.kind == TOKEN_NUMBER || t.kind == TOKEN_NAME) && (IsName(kind, "DIALOG") || IsName(kind, "DIALOGEX"))) {
      Next(&lx);
      long id = t.number;
      if (t.kind == TOKEN_NAME && !Lookup(t.text, &id)) Fail(&lx, t, "unknown dialog id");
      ParseDialog(&lx, (int)id);
    } else {
      SkipLine(&lx, t.line);  // ICON and other resources of one line
    }
  }
  free(text);
  return !lx.failed;
}

int DialogStandInLoadTemplates(const char *rcPath) {
  FreeTemplates();
  if (rcPath == NULL) return 1;
  if (ReadScript(rcPath, 1)) return 1;
  FreeTemplates();
  return 0;
}

int DialogStandInGetTemplate(int id, DialogStandInTemplate *info) {
  const Template *t = StandInFindTemplate(id);
  if (t == NULL) return 0;
  info->id = t->id;
  info->x = t->x;
  info->y = t->y;
  info->width = t->width;
  info->height = t->height;
  info->style = t->style;
  info->caption = t->caption;
  info->fontName = t->fontName;
  info->fontSize = t->fontSize;
  info->controlCount = t->controlCount;
  return 1;
}

void StandInDescribeTemplateControl(const TemplateControl *c, DialogStandInControl *out) {
  memset(out, 0, sizeof *out);
  out->id = c->id;
  out->statement = c->statement;
  out->className = c->className;
  out->text = c->text;
  out->style = c->style;
  out->x = c->x;
  out->y = c->y;
  out->width = c->width;
  out->height = c->height;
  out->limit = -1;
  out->rangeHigh = 100;
}

int DialogStandInGetTemplateControl(int id, int index, DialogStandInControl *control) {
  const Template *t = StandInFindTemplate(id);
  if (t == NULL || index < 0 || index >= t->controlCount) return 0;
  StandInDescribeTemplateControl(&t->controls[index], control);
  return 1;
}
