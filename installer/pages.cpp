// The text pages and the editor: page texts come from the archive, the
// pages are modal dialogs owned by the main window.
#include "pages.h"
#include "pages-sys.h"

#include <string.h>

#include "dialog-sys.h"
#include "ffs.h"
#include "resources/resource-ids.h"
#include "vantor-core.h"
#include "vantor-str.h"
#include "winhelpr.h"

// Bytes the text control may hold beyond the text itself.
#define PAGE_LIMIT_SLACK 10

uint32_t PageLineEnds(const char *text, char *out) {
  ASSERT(text != NULL, POINTER_IS_NULL);
  uint32_t length = 0;
  for (const char *in = text; *in; in++) {
    if (*in != '\r' && *in != '\n') {
      if (out) out[length] = *in;
      length++;
      continue;
    }
    // One line end: CRs, then at most one LF.
    while (in[0] == '\r' && in[1] == '\r') in++;
    if (in[0] == '\r' && in[1] == '\n') in++;
    if (out) out[length] = '\r', out[length + 1] = '\n';
    length += 2;
  }
  if (out) out[length] = 0;
  return length;
}

intptr_t PageDialogProc(void *dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case DIALOG_WM_INITDIALOG: {
      const PageParams *params = (const PageParams *)lParam;
      ASSERT(params != NULL, POINTER_IS_NULL);
      ASSERT(params->text != NULL, POINTER_IS_NULL);
      DialogSetCaption(dialog, params->caption);
      DialogSetEditText(dialog, params->editId, params->text, params->textSize + PAGE_LIMIT_SLACK);
      DialogSendItem(dialog, params->editId, DIALOG_EM_SETSEL, 0, 0);
      CenterWindow(dialog, NULL);
      return 0;
    }
    case DIALOG_WM_COMMAND:
      // The system selects the whole text of an edit control before it
      // gives it the focus: the page's text is read, not replaced, so it
      // shows unselected, from its first line.
      if (DIALOG_COMMAND_CODE(wParam) == DIALOG_EN_SETFOCUS) {
        DialogSendItem(dialog, DIALOG_COMMAND_ID(wParam), DIALOG_EM_SETSEL, 0, 0);
        return 1;
      }
      // The buttons close the page with their id first and the result second.
      if (DIALOG_COMMAND_ID(wParam) == DIALOG_IDOK) {
        DialogSend(dialog, DIALOG_WM_CLOSE, DIALOG_IDOK, 1);
        return 1;
      }
      if (DIALOG_COMMAND_ID(wParam) == DIALOG_IDCANCEL) {
        DialogSend(dialog, DIALOG_WM_CLOSE, DIALOG_IDCANCEL, 0);
        return 1;
      }
      return 0;
    case DIALOG_WM_CLOSE:
      // A close from the system menu or Alt+F4 carries 0.
      DialogEnd(dialog, (int16_t)(lParam & 0xFFFF));
      return 1;
    default:
      return 0;
  }
}

// Loads the entry's text, shows the page modally and releases the text.
static int ShowPage(void *owner, const char *caption, const char *entryName, int templateId, int editId) {
  ASSERT(caption != NULL, POINTER_IS_NULL);
  ASSERT(entryName != NULL, POINTER_IS_NULL);
  void *block;
  uint32_t size;
  if (!FfsLoadEntry(entryName, 1, 1, &block, &size)) return -1;  // zero-filled: the text ends in NUL
  int bytes = (int)size + 1;
  char *text = (char *)block;
  // The control breaks lines only at CR LF: a text with other line ends is
  // shown from a copy that has CR LF at each, so every line stands as the
  // file has it.
  uint32_t shown = PageLineEnds(text, NULL);
  if (shown != size && shown < FFS_ENTRY_MAX) {
    char *copy = (char *)MEM_ALLOC((int)shown + 1);
    PageLineEnds(text, copy);
    if (!MEM_FREE(text, bytes)) ABORT("Unable to free memory (%d)\n", bytes);
    text = copy;
    bytes = (int)shown + 1;
  } else {
    shown = size;
  }
  PageParams params;
  memset(&params, 0, sizeof params);
  StrCopyN(params.caption, caption, PAGE_CAPTION_SIZE);
  params.text = text;
  params.textSize = (int32_t)shown;
  params.editId = editId;
  intptr_t answer = DialogRun(templateId, owner, PageDialogProc, (intptr_t)&params);
  if (answer == -1) DebugPrintf("Unable to create dialog %d\n", templateId);
  if (!MEM_FREE(text, bytes)) ABORT("Unable to free memory (%d)\n", bytes);
  return answer == 1 || answer == -1 ? (int)answer : 0;
}

int ShowMessagePage(void *owner, const char *caption, const char *entryName) {
  return ShowPage(owner, caption, entryName, IDD_MESSAGE, IDC_MESSAGE_TEXT);
}

int ShowAgreementPage(void *owner, const char *caption, const char *entryName) {
  return ShowPage(owner, caption, entryName, IDD_AGREEMENT, IDC_AGREEMENT_TEXT);
}

int ViewTextFile(const char *path) {
  ASSERT(path != NULL, POINTER_IS_NULL);
  // The editor by its full path, so that no program of the same name in
  // the installer's or the current directory is started instead.
  char application[VANTOR_PATH_SIZE];
  char commandLine[PAGE_COMMAND_SIZE];
  uint32_t error = 0;
  if (!QueryWindowsDir(application, VANTOR_PATH_SIZE) || !StrAppendN(application, PAGE_EDITOR, VANTOR_PATH_SIZE))
    error = PAGE_ERROR_PATH_NOT_FOUND;
  else if (VantorFormat(commandLine, PAGE_COMMAND_SIZE, PAGE_EDITOR_COMMAND, path) >= PAGE_COMMAND_SIZE)
    error = PAGE_ERROR_NAME_TOO_LONG;  // a cut path would open another file
  else if (PagesStartProcess(application, commandLine, &error))
    return 1;
  DebugPrintf("Failed to view textfile (%d 0x%.8X)\n", (int)error, (unsigned)error);
  return 0;
}
