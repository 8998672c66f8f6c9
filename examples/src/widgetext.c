/* The Widget 2000 shell extension, a self-registering library: registering
   records itself under the product's key, unregistering takes that away.
   Built by examples/build.sh. */
#include <windows.h>

#define EXTENSION_KEY "Software\\Acme\\Widget 2000\\Extension"

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, EXTENSION_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
    return E_FAIL;
  static const char value[] = "registered";
  LONG status = RegSetValueExA(key, "State", 0, REG_SZ, (const BYTE *)value, sizeof value);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? S_OK : E_FAIL;
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  return RegDeleteKeyA(HKEY_CURRENT_USER, EXTENSION_KEY) == ERROR_SUCCESS ? S_OK : E_FAIL;
}
