#include "stub-resources.h"

#include <ctype.h>

#include "fsutil.h"
#include "pe-resources.h"
#include "script-dat.h"

bool StubResourcesWanted(const StubResourceOptions &o) { return !o.icon.empty() || !o.version.empty(); }

std::string StubResourcesCheck(const StubResourceOptions &o) {
  uint16_t numbers[4];
  if (!o.version.empty() && !PeParseVersion(o.version, numbers))
    return "version '" + o.version + "' is not one to four numbers from 0 to 65535 with dots (1.2.3.4)";
  if (o.version.empty() && !(o.productVersion + o.description + o.copyright + o.company + o.product).empty())
    return "the version texts need --version";
  return "";
}

std::string StubScriptValue(const std::vector<uint8_t> &dat, const std::string &keyword) {
  // Looked for at every mark, by the keyword as the table spells it.
  const ScriptKeywordInfo *info = ScriptFindKeyword(keyword);
  std::string value;
  ScriptDatCommand command;
  for (size_t at = 0; info != nullptr && at < dat.size(); at++)
    if (ScriptDatRead(dat, at, &command) && command.keyword == info->keyword) value = command.args[0];
  return value;
}

bool StubMachineScope(const std::vector<uint8_t> &installDat) {
  std::string scope = StubScriptValue(installDat, "INSTALL SCOPE");
  for (char &c : scope) c = (char)tolower((unsigned char)c);
  return scope != "user";
}

bool StubApplyResources(const StubResourceOptions &o, const std::vector<uint8_t> &installDat,
                        std::vector<uint8_t> *stub, bool *changed, std::string *file, std::string *error) {
  file->clear();
  *changed = false;
  std::string manifest = PeManifestText(StubMachineScope(installDat)), carried;
  // A stub that already carries the wanted manifest (install.exe for a
  // machine install) stays as it is when nothing else changes.
  bool manifestRight = PeReadManifest(*stub, &carried) && carried == manifest;
  if (manifestRight && !StubResourcesWanted(o)) return true;
  std::vector<PeIconImage> icon;
  if (!o.icon.empty()) {
    std::vector<uint8_t> ico;
    *file = o.icon;
    if (!FsReadFile(o.icon, &ico, error) || !PeParseIcon(ico, &icon, error)) return false;
    file->clear();
  }
  PeImage image;
  if (!image.Load(*stub, error)) return false;
  if (!manifestRight) PeSetManifest(&image, manifest);
  if (!icon.empty()) PeSetIconGroup(&image, STUB_ICON_GROUP, icon);
  if (!o.version.empty()) {
    PeVersionInfo info;
    PeParseVersion(o.version, info.fileVersion);
    info.fileVersionText = o.version;
    info.productVersionText = o.productVersion.empty() ? o.version : o.productVersion;
    if (!PeParseVersion(info.productVersionText, info.productVersion))
      std::copy(info.fileVersion, info.fileVersion + 4, info.productVersion);
    info.companyName = o.company.empty() ? StubScriptValue(installDat, "COMPANY NAME") : o.company;
    info.productName = o.product.empty() ? StubScriptValue(installDat, "PRODUCT NAME") : o.product;
    info.fileDescription = !o.description.empty() ? o.description
                           : info.productName.empty() ? "Setup" : info.productName + " Setup";
    info.legalCopyright = o.copyright;
    info.originalFilename = o.originalFilename;
    PeSetVersion(&image, info);
  }
  *changed = true;
  return image.Save(stub, error);
}
