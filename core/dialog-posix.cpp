// Windows and dialogs for the native build: windows live in memory, dialog
// procedures run as on Win32, and a scripted user plays queued actions
// (dialog-standin.h). Dialog templates are read from the resource script.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dialog-standin.h"
#include "dialog.h"

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

#define S_WS_POPUP   0x80000000u
#define S_WS_CHILD   0x40000000u
#define S_WS_VISIBLE 0x10000000u
#define S_WS_CAPTION 0x00C00000u
#define S_WS_BORDER  0x00800000u
#define S_WS_SYSMENU 0x00080000u
#define S_WS_GROUP   0x00020000u
#define S_WS_TABSTOP 0x00010000u
#define S_DS_SETFONT 0x40u
#define S_BS_TYPE    0x0Fu
#define S_BS_DEFPUSHBUTTON 0x01u

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

static char *CopyText(const char *text) {
  size_t size = strlen(text) + 1;
  char *copy = (char *)malloc(size);
  memcpy(copy, text, size);
  return copy;
}

static void ReplaceText(char **slot, const char *text) {
  free(*slot);
  *slot = CopyText(text);
}

// ---- Templates ---------------------------------------------------------

struct TemplateControl {
  int id;
  char *statement;
  char *className;
  char *text;
  uint32_t style;
  int x, y, width, height;
};

struct Template {
  int id;
  int x, y, width, height;
  uint32_t style;
  char *caption;
  char *fontName;
  int fontSize;
  int controlCount;
  TemplateControl *controls;
};

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

static const Template *FindTemplate(int id) {
  for (int i = 0; i < templateCount; i++)
    if (templates[i].id == id) return &templates[i];
  return NULL;
}

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
  c.statement = CopyText(kind->statement);
  c.style = kind->style;
  char text[512] = "";
  if (kind->hasText) {
    Token t = Next(lx);
    if (t.kind == TOKEN_STRING) snprintf(text, sizeof text, "%s", t.text);
    else if (t.kind != TOKEN_NUMBER && t.kind != TOKEN_NAME) Fail(lx, t, "control text expected");
    Comma(lx);
  }
  c.text = CopyText(text);
  c.id = (int)Value(lx);
  Comma(lx);
  if (kind->className == NULL) {
    Token cls = Next(lx);
    if (cls.kind != TOKEN_STRING && cls.kind != TOKEN_NAME) Fail(lx, cls, "control class expected");
    c.className = CopyText(cls.text);
    Comma(lx);
    StyleExpression(lx, &c.style);
    Comma(lx);
  } else {
    c.className = CopyText(kind->className);
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
  d.caption = CopyText(caption);
  d.fontName = CopyText(font);
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
  const Template *t = FindTemplate(id);
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

static void DescribeTemplateControl(const TemplateControl *c, DialogStandInControl *out) {
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
  const Template *t = FindTemplate(id);
  if (t == NULL || index < 0 || index >= t->controlCount) return 0;
  DescribeTemplateControl(&t->controls[index], control);
  return 1;
}

// ---- Windows -----------------------------------------------------------

struct Control {
  TemplateControl shape;  // strings owned here
  int limit;
  int selectionStart, selectionEnd;
  int position, rangeLow, rangeHigh;
};

struct Window {
  int templateId;
  int modal;
  void *owner;
  char *caption;
  int visible, alive, ended, abandoned;
  intptr_t result;
  uint32_t style;
  DialogRect rect;
  int moves;
  DialogProc proc;
  intptr_t param;
  int fromTemplate;  // controls are fixed by the template
  int controlCount;
  Control *controls;
  Window *next;  // every window, newest first
};

static Window desktop;
static Window *windows;
static Window **dialogs;  // in order of creation
static int dialogCount;
static int mistakes;

static Window *Known(void *handle) {
  if (handle == &desktop) return &desktop;
  for (Window *w = windows; w != NULL; w = w->next)
    if (w == handle) return w;
  return NULL;
}

static void FreeWindow(Window *w) {
  for (int i = 0; i < w->controlCount; i++) {
    free(w->controls[i].shape.statement);
    free(w->controls[i].shape.className);
    free(w->controls[i].shape.text);
  }
  free(w->controls);
  free(w->caption);
  free(w);
}

struct Action;
static void ClearActions(void);

void DialogStandInSetDesktop(int left, int top, int width, int height) {
  desktop.rect.left = left;
  desktop.rect.top = top;
  desktop.rect.right = left + width;
  desktop.rect.bottom = top + height;
}

void DialogStandInReset(void) {
  while (windows != NULL) {
    Window *w = windows;
    windows = w->next;
    FreeWindow(w);
  }
  free(dialogs);
  dialogs = NULL;
  dialogCount = 0;
  mistakes = 0;
  ClearActions();
  if (desktop.caption == NULL) desktop.caption = CopyText("");
  desktop.visible = desktop.alive = 1;
  DialogStandInSetDesktop(0, 0, 1024, 768);
}

static Window *NewWindow(void *owner, int left, int top, int width, int height) {
  if (desktop.caption == NULL) DialogStandInReset();
  Window *w = (Window *)calloc(1, sizeof(Window));
  w->owner = owner;
  w->caption = CopyText("");
  w->alive = 1;
  w->rect.left = left;
  w->rect.top = top;
  w->rect.right = left + width;
  w->rect.bottom = top + height;
  w->next = windows;
  windows = w;
  return w;
}

void *DialogStandInCreateWindow(void *parent, int left, int top, int width, int height) {
  Window *w = NewWindow(parent, left, top, width, height);
  w->visible = 1;
  return w;
}

static Control *AddControl(Window *w, const TemplateControl *shape) {
  w->controls = (Control *)realloc(w->controls, sizeof(Control) * (size_t)(w->controlCount + 1));
  Control *c = &w->controls[w->controlCount++];
  memset(c, 0, sizeof *c);
  c->shape = *shape;
  c->shape.statement = CopyText(shape->statement);
  c->shape.className = CopyText(shape->className);
  c->shape.text = CopyText(shape->text);
  c->limit = -1;
  c->rangeHigh = 100;
  return c;
}

static Control *FindControl(Window *w, int id) {
  for (int i = 0; w != NULL && i < w->controlCount; i++)
    if (w->controls[i].shape.id == id) return &w->controls[i];
  return NULL;
}

// A control of a blank dialog comes into being when first used.
static Control *ControlFor(Window *w, int id) {
  Control *c = FindControl(w, id);
  if (c != NULL || w == NULL || w->fromTemplate || w->templateId == 0) return c;
  TemplateControl shape;
  memset(&shape, 0, sizeof shape);
  shape.id = id;
  shape.statement = (char *)"CONTROL";
  shape.className = (char *)"";
  shape.text = (char *)"";
  return AddControl(w, &shape);
}

// Dialog units to pixels for the 8-point dialog fonts: 6 x 13 pixels per
// 4 x 8 units.
static int UnitsX(int units) { return units * 6 / 4; }
static int UnitsY(int units) { return units * 13 / 8; }

static Window *NewDialog(int templateId, void *owner, DialogProc proc, intptr_t param, int modal) {
  const Template *t = FindTemplate(templateId);
  if (templateCount > 0 && t == NULL) {
    fprintf(stderr, "[dialog %d] no such template\n", templateId);
    return NULL;
  }
  Window *base = Known(owner);
  if (base == NULL) base = &desktop;
  int width = t ? UnitsX(t->width) : 300, height = t ? UnitsY(t->height) : 200;
  int x = t ? UnitsX(t->x) : 0, y = t ? UnitsY(t->y) : 0;
  Window *w = NewWindow(owner, base->rect.left + x, base->rect.top + y, width, height);
  w->templateId = templateId;
  w->modal = modal;
  w->proc = proc;
  w->param = param;
  if (t != NULL) {
    w->fromTemplate = 1;
    w->style = t->style;
    ReplaceText(&w->caption, t->caption);
    for (int i = 0; i < t->controlCount; i++) AddControl(w, &t->controls[i]);
  } else {
    w->style = S_WS_POPUP | S_WS_CAPTION | (modal ? S_WS_VISIBLE : 0);
  }
  dialogs = (Window **)realloc(dialogs, sizeof(Window *) * (size_t)(dialogCount + 1));
  dialogs[dialogCount++] = w;
  return w;
}

static intptr_t Deliver(Window *w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (w == NULL || w->proc == NULL || !w->alive) return 0;
  intptr_t answer = w->proc(w, message, wParam, lParam);
  // The system's default dialog handling turns an unhandled close into a
  // click on the Cancel button.
  if (message == DIALOG_WM_CLOSE && answer == 0 && !w->ended && (!w->fromTemplate || FindControl(w, DIALOG_IDCANCEL)))
    w->proc(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(DIALOG_IDCANCEL, DIALOG_BN_CLICKED),
            (intptr_t)FindControl(w, DIALOG_IDCANCEL));
  return answer;
}

static void Destroy(Window *w) {
  if (!w->alive) return;
  Deliver(w, DIALOG_WM_DESTROY, 0, 0);
  w->alive = 0;
  w->visible = 0;
}

// ---- The scripted user -------------------------------------------------

enum ActionKind { ACTION_TEXT, ACTION_PRESS, ACTION_ENTER, ACTION_ESCAPE, ACTION_CLOSE, ACTION_CALL };

struct Action {
  ActionKind kind;
  int id;
  char *text;
  DialogStandInCall call;
  void *data;
};

static Action *actions;
static int actionCount, actionFirst;

static void ClearActions(void) {
  for (int i = actionFirst; i < actionCount; i++) free(actions[i].text);
  free(actions);
  actions = NULL;
  actionCount = actionFirst = 0;
}

static void Queue(ActionKind kind, int id, const char *text, DialogStandInCall call, void *data) {
  actions = (Action *)realloc(actions, sizeof(Action) * (size_t)(actionCount + 1));
  Action *a = &actions[actionCount++];
  a->kind = kind;
  a->id = id;
  a->text = text ? CopyText(text) : NULL;
  a->call = call;
  a->data = data;
}

void DialogStandInQueueText(int id, const char *text) { Queue(ACTION_TEXT, id, text, NULL, NULL); }
void DialogStandInQueuePress(int id) { Queue(ACTION_PRESS, id, NULL, NULL, NULL); }
void DialogStandInQueueEnter(void) { Queue(ACTION_ENTER, 0, NULL, NULL, NULL); }
void DialogStandInQueueEscape(void) { Queue(ACTION_ESCAPE, 0, NULL, NULL, NULL); }
void DialogStandInQueueClose(void) { Queue(ACTION_CLOSE, 0, NULL, NULL, NULL); }
void DialogStandInQueueCall(DialogStandInCall call, void *data) { Queue(ACTION_CALL, 0, NULL, call, data); }
int DialogStandInPendingActions(void) { return actionCount - actionFirst; }
int DialogStandInMistakes(void) { return mistakes; }

static void Click(Window *w, int id) {
  Control *c = FindControl(w, id);
  if (c == NULL && w->fromTemplate) {
    fprintf(stderr, "[dialog %d] the user cannot click control %d: it does not exist\n", w->templateId, id);
    mistakes++;
    return;
  }
  Deliver(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(id, DIALOG_BN_CLICKED), (intptr_t)c);
}

static int DefaultButton(Window *w) {
  for (int i = 0; i < w->controlCount; i++) {
    const Control *c = &w->controls[i];
    if (strcmp(c->shape.className, "BUTTON") == 0 && (c->shape.style & S_BS_TYPE) == S_BS_DEFPUSHBUTTON)
      return c->shape.id;
  }
  return DIALOG_IDOK;
}

static void Type(Window *w, int id, const char *text) {
  Control *c = ControlFor(w, id);
  if (c == NULL) {
    fprintf(stderr, "[dialog %d] the user cannot type into control %d: it does not exist\n", w->templateId, id);
    mistakes++;
    return;
  }
  ReplaceText(&c->shape.text, text);
  if (c->limit > 0 && (int)strlen(c->shape.text) > c->limit) c->shape.text[c->limit] = 0;
  Deliver(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(id, DIALOG_EN_CHANGE), (intptr_t)c);
}

// Plays the next action against w; 0 when none is left.
static int Play(Window *w) {
  if (actionFirst >= actionCount) return 0;
  Action a = actions[actionFirst++];
  switch (a.kind) {
    case ACTION_TEXT: Type(w, a.id, a.text); break;
    case ACTION_PRESS: Click(w, a.id); break;
    case ACTION_ENTER: Click(w, DefaultButton(w)); break;
    case ACTION_ESCAPE:
      Deliver(w, DIALOG_WM_COMMAND, DIALOG_MAKE_PARAM(DIALOG_IDCANCEL, DIALOG_BN_CLICKED),
              (intptr_t)FindControl(w, DIALOG_IDCANCEL));
      break;
    case ACTION_CLOSE: Deliver(w, DIALOG_WM_CLOSE, 0, 0); break;
    case ACTION_CALL: a.call(w, a.data); break;
  }
  free(a.text);
  return 1;
}

// ---- The seam ----------------------------------------------------------

intptr_t DialogRun(int templateId, void *owner, DialogProc proc, intptr_t param) {
  Window *w = NewDialog(templateId, owner, proc, param, 1);
  if (w == NULL) return -1;
  w->visible = 1;
  Deliver(w, DIALOG_WM_INITDIALOG, 0, param);
  while (!w->ended && Play(w)) {
  }
  if (!w->ended) {
    fprintf(stderr, "[dialog %d] no user action left: the user closes it\n", templateId);
    Deliver(w, DIALOG_WM_CLOSE, 0, 0);
  }
  if (!w->ended) {
    fprintf(stderr, "[dialog %d] still open: abandoned\n", templateId);
    w->ended = w->abandoned = 1;
    w->result = 0;
  }
  Destroy(w);
  return w->result;
}

void *DialogCreate(void *instance, int templateId, void *owner, DialogProc proc, intptr_t param) {
  (void)instance;
  Window *w = NewDialog(templateId, owner, proc, param, 0);
  if (w == NULL) return NULL;
  Deliver(w, DIALOG_WM_INITDIALOG, 0, param);
  w->visible = (w->style & S_WS_VISIBLE) != 0;
  return w;
}

int DialogEnd(void *dialog, intptr_t result) {
  Window *w = Known(dialog);
  if (w == NULL || w->templateId == 0) return 0;
  w->ended = 1;
  w->result = result;
  if (!w->modal) w->visible = 0;
  return 1;
}

int DialogDestroy(void *window) {
  Window *w = Known(window);
  if (w == NULL || w == &desktop || !w->alive) return 0;
  Destroy(w);
  return 1;
}

intptr_t DialogSend(void *window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Window *w = Known(window);
  if (w != NULL && message == DIALOG_WM_SETTEXT) DialogSetCaption(window, (const char *)lParam);
  return Deliver(w, message, wParam, lParam);
}

static int Clamp(long value, int low, int high) { return value < low ? low : value > high ? high : (int)value; }

intptr_t DialogSendItem(void *dialog, int id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Control *c = ControlFor(Known(dialog), id);
  if (c == NULL) return 0;
  int length = (int)strlen(c->shape.text);
  intptr_t previous;
  switch (message) {
    case DIALOG_EM_SETSEL:
      c->selectionStart = Clamp((long)(intptr_t)wParam, 0, length);
      c->selectionEnd = Clamp((long)lParam, 0, length);
      return 1;
    case DIALOG_EM_LIMITTEXT: c->limit = (int)wParam; return 0;
    case DIALOG_PBM_SETRANGE:
      previous = (intptr_t)DIALOG_MAKE_PARAM(c->rangeLow, c->rangeHigh);
      c->rangeLow = (int)((uintptr_t)lParam & 0xFFFF);
      c->rangeHigh = (int)(((uintptr_t)lParam >> 16) & 0xFFFF);
      c->position = Clamp(c->position, c->rangeLow, c->rangeHigh);
      return previous;
    case DIALOG_PBM_SETPOS:
      previous = c->position;
      c->position = Clamp((long)(int)wParam, c->rangeLow, c->rangeHigh);
      return previous;
    case DIALOG_PBM_GETPOS: return c->position;
    default: return 0;
  }
}

int DialogSetCaption(void *window, const char *text) {
  Window *w = Known(window);
  if (w == NULL || w == &desktop) return 0;
  ReplaceText(&w->caption, text);
  return 1;
}

int DialogSetItemText(void *dialog, int id, const char *text) {
  Control *c = ControlFor(Known(dialog), id);
  if (c == NULL) return 0;
  ReplaceText(&c->shape.text, text);
  return 1;
}

int DialogGetItemText(void *dialog, int id, char *buffer, int size) {
  if (size < 1) return 0;
  const Control *c = FindControl(Known(dialog), id);
  snprintf(buffer, (size_t)size, "%s", c ? c->shape.text : "");
  return (int)strlen(buffer);
}

int DialogShowAsync(void *window, int command) {
  Window *w = Known(window);
  if (w != NULL && w != &desktop) w->visible = command != DIALOG_SW_HIDE;
  return 1;
}

void *DialogParent(void *window) {
  Window *w = Known(window);
  return w != NULL && w != &desktop ? w->owner : NULL;
}

void *DialogDesktop(void) {
  if (desktop.caption == NULL) DialogStandInReset();
  return &desktop;
}

int DialogGetRect(void *window, DialogRect *rect) {
  Window *w = Known(window);
  if (w == NULL) {
    memset(rect, 0, sizeof *rect);
    return 0;
  }
  *rect = w->rect;
  return 1;
}

int DialogSetPosition(void *window, int x, int y) {
  Window *w = Known(window);
  if (w == NULL || w == &desktop) return 0;
  w->rect.right += x - w->rect.left;
  w->rect.bottom += y - w->rect.top;
  w->rect.left = x;
  w->rect.top = y;
  w->moves++;
  return 1;
}

// ---- Inspection --------------------------------------------------------

int DialogStandInDialogCount(void) { return dialogCount; }
void *DialogStandInDialog(int index) { return index >= 0 && index < dialogCount ? dialogs[index] : NULL; }

void *DialogStandInFind(int templateId) {
  for (int i = dialogCount - 1; i >= 0; i--)
    if (dialogs[i]->templateId == templateId) return dialogs[i];
  return NULL;
}

int DialogStandInGetWindow(void *window, DialogStandInWindow *info) {
  const Window *w = Known(window);
  if (w == NULL) return 0;
  info->templateId = w->templateId;
  info->modal = w->modal;
  info->owner = w->owner;
  info->caption = w->caption;
  info->visible = w->visible;
  info->alive = w->alive;
  info->ended = w->ended;
  info->abandoned = w->abandoned;
  info->result = w->result;
  info->style = w->style;
  info->rect = w->rect;
  info->controlCount = w->controlCount;
  info->moves = w->moves;
  return 1;
}

static void DescribeControl(const Control *c, DialogStandInControl *out) {
  DescribeTemplateControl(&c->shape, out);
  out->limit = c->limit;
  out->selectionStart = c->selectionStart;
  out->selectionEnd = c->selectionEnd;
  out->position = c->position;
  out->rangeLow = c->rangeLow;
  out->rangeHigh = c->rangeHigh;
}

int DialogStandInGetControl(void *dialog, int id, DialogStandInControl *control) {
  const Control *c = FindControl(Known(dialog), id);
  if (c == NULL) return 0;
  DescribeControl(c, control);
  return 1;
}

int DialogStandInGetControlAt(void *dialog, int index, DialogStandInControl *control) {
  const Window *w = Known(dialog);
  if (w == NULL || index < 0 || index >= w->controlCount) return 0;
  DescribeControl(&w->controls[index], control);
  return 1;
}

const char *DialogStandInControlText(void *dialog, int id) {
  const Control *c = FindControl(Known(dialog), id);
  return c ? c->shape.text : NULL;
}
