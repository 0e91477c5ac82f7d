#pragma once
// Where the program finds its shipped files and keeps its working folders.

#include <filesystem>

namespace galleria {

// The folder of the running executable, always with a trailing separator.
const std::filesystem::path& ApplicationFolder();

// The writable root for the working folders: GALLERIA_HOME when set; otherwise the application
// folder when it is writable (a copy run in place), else $XDG_DATA_HOME/galleria/ (an installed,
// read-only copy). Always with a trailing separator; created on first use.
std::filesystem::path WorkFolder();

// Shipped files, relative to the application folder.
namespace shipped {
inline constexpr const char* kBaseFlash = "Res/BaseFlash.swf";
inline constexpr const char* kTemplateCatalogue = "Res/TemplateXML.xml";
inline constexpr const char* kBasePlayerMovie = "libavformat-52.dll";
inline constexpr const char* kTemplateStore = "libavcodec-52.dll";
inline constexpr const char* kPreviewShellMovie = "libavcodec.dll";
inline constexpr const char* kLanguageFile = "language/language.xml";
inline constexpr const char* kPreviewPictures = "PreViewImage/Gallery/Common";
inline constexpr const char* kIcon = "resource/PVL/icon.png";
inline constexpr const char* kAboutPicture = "resource/PVL/about.png";
inline constexpr const char* kPlayerStub = "Velloplay";
inline constexpr const char* kScreenSaverStub = "idlescene";
inline constexpr const char* kMailHelper = "postbox";
inline constexpr const char* kPhotoEditor = "retouch";
}  // namespace shipped

std::filesystem::path ShippedFile(const char* relative);

// The publish work folder (Temp/), the photo working folder (TempImg/) and the folder memory
// file, all under WorkFolder(). The folders are created when asked for.
std::filesystem::path TempFolder();
std::filesystem::path TempImgFolder();
std::filesystem::path FolderMemoryFile();

}  // namespace galleria
