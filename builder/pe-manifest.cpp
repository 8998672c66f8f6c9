// The application manifest (RT_MANIFEST 1): the text each installer
// carries, written for its scope, and the settings read back from one.
// installer/resources/install.manifest is the machine-scope text byte for
// byte, so a stub the builder leaves alone carries the right one.
#include "pe-image-parts.h"

namespace {

// The systems the installer declares itself written for, oldest first.
const struct {
  const char *id, *name;
} kSupportedOs[] = {
    {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "Vista"}, {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "7"},
    {"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "8"},     {"{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "8.1"},
    {"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "10"},
};

const char kSettings[] = "http://schemas.microsoft.com/SMI/";

// The text of the element <name ...>text</name>; "" when there is none.
std::string ElementText(const std::string &xml, const std::string &name) {
  size_t at = xml.find("<" + name);
  if (at == std::string::npos) return "";
  size_t start = xml.find('>', at), end = xml.find("</" + name, at);
  if (start == std::string::npos || end == std::string::npos || end < start) return "";
  return xml.substr(start + 1, end - start - 1);
}

// The value of attribute name="..." in the element that begins at at.
std::string Attribute(const std::string &xml, size_t at, const std::string &name) {
  size_t close = xml.find('>', at), found = xml.find(" " + name + "=\"", at);
  if (found == std::string::npos || found > close) return "";
  size_t start = found + name.size() + 3, end = xml.find('"', start);
  return end == std::string::npos ? "" : xml.substr(start, end - start);
}

}  // namespace

std::string PeManifestText(bool machine) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
      "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>\n"
      "<requestedExecutionLevel level=\"";
  text += machine ? "requireAdministrator" : "asInvoker";
  text +=
      "\" uiAccess=\"false\"/>\n"
      "</requestedPrivileges></security></trustInfo>\n"
      "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\"><application>\n";
  for (const auto &os : kSupportedOs) text += std::string("<supportedOS Id=\"") + os.id + "\"/>\n";
  const std::string s = kSettings;
  text += "</application></compatibility>\n"
          "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>\n"
          "<dpiAware xmlns=\"" + s + "2005/WindowsSettings\">true/pm</dpiAware>\n"
          "<dpiAwareness xmlns=\"" + s + "2016/WindowsSettings\">PerMonitorV2</dpiAwareness>\n"
          "<activeCodePage xmlns=\"" + s + "2019/WindowsSettings\">UTF-8</activeCodePage>\n"
          "<longPathAware xmlns=\"" + s + "2016/WindowsSettings\">true</longPathAware>\n"
          "</windowsSettings></application>\n"
          "<dependency><dependentAssembly>\n"
          "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
          "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
          "</dependentAssembly></dependency>\n"
          "</assembly>\n";
  return text;
}

std::string PeManifestSummary(const std::string &xml) {
  std::vector<std::string> parts;
  size_t level = xml.find("<requestedExecutionLevel");
  parts.push_back(level == std::string::npos ? "no execution level" : Attribute(xml, level, "level"));
  std::string systems;
  size_t first = 0, count = 0;
  for (size_t i = 0; i < sizeof kSupportedOs / sizeof *kSupportedOs; i++) {
    bool named = xml.find(kSupportedOs[i].id) != std::string::npos;
    if (named && count++ == 0) first = i;
    if (named) systems += std::string(systems.empty() ? "" : ",") + kSupportedOs[i].name;
  }
  if (count == 0) parts.push_back("no supportedOS");
  else if (count == sizeof kSupportedOs / sizeof *kSupportedOs)
    parts.push_back(std::string("supportedOS ") + kSupportedOs[first].name + ".." + kSupportedOs[count - 1].name);
  else parts.push_back("supportedOS " + systems);
  size_t controls = xml.find("\"Microsoft.Windows.Common-Controls\"");
  if (controls != std::string::npos) {
    size_t at = xml.rfind('<', controls);
    std::string version = Attribute(xml, at, "version");
    parts.push_back("Common Controls " + version.substr(0, version.find('.')));
  }
  std::string dpi = ElementText(xml, "dpiAwareness");
  if (dpi.empty()) dpi = ElementText(xml, "dpiAware");
  parts.push_back(dpi.empty() ? "not DPI aware" : "DPI " + dpi);
  std::string codePage = ElementText(xml, "activeCodePage");
  if (!codePage.empty()) parts.push_back("code page " + codePage);
  if (ElementText(xml, "longPathAware") == "true") parts.push_back("long paths");
  std::string line;
  for (const std::string &p : parts) line += (line.empty() ? "" : ", ") + p;
  return line;
}

void PeSetManifest(PeImage *image, const std::string &text) {
  const PeResourceName type = PeResourceName::Id(PE_RT_MANIFEST), name = PeResourceName::Id(PE_MANIFEST_ID);
  int language = image->Remove(type, name);
  PeResource r;
  r.type = type;
  r.name = name;
  r.language = language < 0 ? PE_LANG_DEFAULT : (uint16_t)language;
  r.data.assign(text.begin(), text.end());
  image->Resources().push_back(r);
}

bool PeReadManifest(const std::vector<uint8_t> &file, std::string *text) {
  std::vector<PeResource> resources;
  std::string error;
  text->clear();
  if (!PeReadResources(file, &resources, &error)) return false;
  for (const PeResource &r : resources)
    if (r.type == PeResourceName::Id(PE_RT_MANIFEST) && r.name == PeResourceName::Id(PE_MANIFEST_ID)) {
      text->assign(r.data.begin(), r.data.end());
      return true;
    }
  return false;
}
