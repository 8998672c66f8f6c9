// Windows and dialogs on Win32. The portable dialog procedures are reached
// through one system procedure that finds them in the dialog's user data,
// where DIALOG_WM_INITDIALOG left their binding.
#include <windows.h>

#include "dialog-sys.h"
#include "wide-win32.h"

struct DialogBinding {
  DialogProc proc;
  intptr_t param;
  int used;  // modeless bindings only
};

// Bindings of the modeless dialogs that live at the same time; a modal
// dialog's binding lives on the stack of DialogRun.
#define MODELESS_BINDINGS 8
static DialogBinding modeless[MODELESS_BINDINGS];

static INT_PTR CALLBACK DialogThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogBinding *binding;
  if (message == WM_INITDIALOG) {
    binding = (DialogBinding *)lParam;
    SetWindowLongPtrW(window, DWLP_USER, (LONG_PTR)binding);
    return binding->proc((void *)window, message, (uintptr_t)wParam, binding->param);
  }
  binding = (DialogBinding *)GetWindowLongPtrW(window, DWLP_USER);
  if (binding == NULL) return FALSE;
  INT_PTR result = binding->proc((void *)window, message, (uintptr_t)wParam, (intptr_t)lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    binding->used = 0;
  }
  return result;
}

static HINSTANCE ProgramInstance(void *instance) {
  return instance != NULL ? (HINSTANCE)instance : GetModuleHandleW(NULL);
}

intptr_t DialogRun(int templateId, void *owner, DialogProc proc, intptr_t param) {
  DialogBinding binding = {proc, param, 1};
  return DialogBoxParamW(ProgramInstance(NULL), MAKEINTRESOURCEW(templateId), (HWND)owner, DialogThunk,
                         (LPARAM)&binding);
}

void *DialogCreate(void *instance, int templateId, void *owner, DialogProc proc, intptr_t param) {
  DialogBinding *binding = NULL;
  for (int i = 0; i < MODELESS_BINDINGS && binding == NULL; i++)
    if (!modeless[i].used) binding = &modeless[i];
  if (binding == NULL) return NULL;
  binding->proc = proc;
  binding->param = param;
  binding->used = 1;
  HWND dialog = CreateDialogParamW(ProgramInstance(instance), MAKEINTRESOURCEW(templateId), (HWND)owner,
                                   DialogThunk, (LPARAM)binding);
  if (dialog == NULL) binding->used = 0;
  return (void *)dialog;
}

int DialogEnd(void *dialog, intptr_t result) { return EndDialog((HWND)dialog, result) ? 1 : 0; }
int DialogDestroy(void *window) { return DestroyWindow((HWND)window) ? 1 : 0; }

intptr_t DialogSend(void *window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendMessageW((HWND)window, message, wParam, lParam);
}

intptr_t DialogSendItem(void *dialog, int id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendDlgItemMessageW((HWND)dialog, id, message, wParam, lParam);
}

// Texts of any length (a page's) go through a block of the heap.
int DialogSetCaption(void *window, const char *text) {
  WCHAR *wide = WideAlloc(text);
  int set = wide != NULL && SetWindowTextW((HWND)window, wide);
  WideFree(wide);
  return set;
}

int DialogSetItemText(void *dialog, int id, const char *text) {
  HWND item = GetDlgItem((HWND)dialog, id);
  return item != NULL && DialogSetCaption(item, text);
}

// At most size - 1 characters are read back, each at most 3 bytes in
// UTF-8 (a pair of surrogates, 4); what does not fit in size bytes is cut
// where a character ends. The length is that of the text in buffer.
int DialogGetItemText(void *dialog, int id, char *buffer, int size) {
  if (size < 1) return 0;
  buffer[0] = 0;
  WCHAR *wide = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size * sizeof(WCHAR));
  if (wide == NULL) return 0;
  if (GetDlgItemTextW((HWND)dialog, id, wide, size) > 0) WideTo(wide, buffer, size);
  WideFree(wide);
  return lstrlenA(buffer);
}

int DialogShowAsync(void *window, int command) {
  ShowWindowAsync((HWND)window, command);
  return 1;
}

// GetParent gives the owner of a popup; a top-level window that is not a
// popup (the folder browser under some systems) is asked for its owner.
void *DialogParent(void *window) {
  HWND parent = GetParent((HWND)window);
  if (parent == NULL) parent = GetWindow((HWND)window, GW_OWNER);
  return (void *)parent;
}
void *DialogDesktop(void) { return (void *)GetDesktopWindow(); }

int DialogGetRect(void *window, DialogRect *rect) {
  RECT r;
  if (!GetWindowRect((HWND)window, &r)) {
    rect->left = rect->top = rect->right = rect->bottom = 0;
    return 0;
  }
  rect->left = r.left;
  rect->top = r.top;
  rect->right = r.right;
  rect->bottom = r.bottom;
  return 1;
}

int DialogSetPosition(void *window, int x, int y) {
  return SetWindowPos((HWND)window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER) ? 1 : 0;
}
