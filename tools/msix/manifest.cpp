#include "manifest.h"

#include "class_id.h"
#include "guid_text.h"
#include "version.h"
#include "xml_text.h"

namespace tw::msix {
namespace {

// The manifest, with @NAME@ marks for what the build fills in.
constexpr char kTemplate[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Package xmlns="http://schemas.microsoft.com/appx/manifest/foundation/windows10"
         xmlns:uap="http://schemas.microsoft.com/appx/manifest/uap/windows10"
         xmlns:uap10="http://schemas.microsoft.com/appx/manifest/uap/windows10/10"
         xmlns:rescap="http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities"
         xmlns:desktop4="http://schemas.microsoft.com/appx/manifest/desktop/windows10/4"
         xmlns:desktop5="http://schemas.microsoft.com/appx/manifest/desktop/windows10/5"
         xmlns:com="http://schemas.microsoft.com/appx/manifest/com/windows10"
         IgnorableNamespaces="uap uap10 rescap desktop4 desktop5 com">
  <Identity Name="@PACKAGE@" Publisher="@PUBLISHER@" Version="@VERSION@" ProcessorArchitecture="x64"/>
  <Properties>
    <DisplayName>Tarnwick File Shell Extension</DisplayName>
    <PublisherDisplayName>Tarnwick</PublisherDisplayName>
    <Logo>@LOGO0@</Logo>
    <uap10:AllowExternalContent>true</uap10:AllowExternalContent>
  </Properties>
  <Resources>
    <Resource Language="en-us"/>
  </Resources>
  <Dependencies>
    <TargetDeviceFamily Name="Windows.Desktop" MinVersion="10.0.19041.0" MaxVersionTested="10.0.26100.0"/>
  </Dependencies>
  <Capabilities>
    <rescap:Capability Name="runFullTrust"/>
    <rescap:Capability Name="unvirtualizedResources"/>
  </Capabilities>
  <Applications>
    <Application Id="Tarnwick" Executable="twVss_64.exe" uap10:TrustLevel="mediumIL" uap10:RuntimeBehavior="win32App">
      <uap:VisualElements AppListEntry="none" DisplayName="Tarnwick File Shell Extension"
                          Description="Tarnwick's entries in the File Explorer context menu"
                          BackgroundColor="transparent"
                          Square150x150Logo="@LOGO1@" Square44x44Logo="@LOGO2@"/>
      <Extensions>
        <desktop4:Extension Category="windows.fileExplorerContextMenus">
          <desktop4:FileExplorerContextMenus>
            <desktop5:ItemType Type="*">
              <desktop5:Verb Id="TarnwickFile" Clsid="@CLSID@"/>
            </desktop5:ItemType>
            <desktop5:ItemType Type="Directory">
              <desktop5:Verb Id="TarnwickFolder" Clsid="@CLSID@"/>
            </desktop5:ItemType>
          </desktop4:FileExplorerContextMenus>
        </desktop4:Extension>
        <com:Extension Category="windows.comServer">
          <com:ComServer>
            <com:SurrogateServer DisplayName="Tarnwick File Shell Extension">
              <com:Class Id="@CLSID@" Path="twShellExt_64.dll" ThreadingModel="STA"/>
            </com:SurrogateServer>
          </com:ComServer>
        </com:Extension>
      </Extensions>
    </Application>
  </Applications>
</Package>
)";

void ReplaceAll(std::string& text, const std::string& mark, const std::string& value) {
    for (size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + value.size())) {
        text.replace(at, mark.size(), value);
    }
}

}  // namespace

std::string ShellExtensionManifest(const std::string& publisher) {
    // The manifest writes a class identifier without braces.
    const std::string braced = GuidText(CLSID_ExplorerCommand);
    std::string text = kTemplate;
    ReplaceAll(text, "@PACKAGE@", kPackageName);
    ReplaceAll(text, "@PUBLISHER@", XmlEscaped(publisher));
    ReplaceAll(text, "@VERSION@", TW_VERSION_TEXT);
    ReplaceAll(text, "@CLSID@", braced.substr(1, braced.size() - 2));
    for (size_t i = 0; i < std::size(kLogos); ++i) {
        ReplaceAll(text, "@LOGO" + std::to_string(i) + "@",
                   std::string(kLogoFolder) + "\\" + kLogos[i].file);
    }
    return text;
}

}  // namespace tw::msix
