#pragma once
// How the program names itself to the desktop: "qinghe" for the window system (the class of WM_CLASS,
// which the desktop entry's StartupWMClass names), the desktop entry's id, the name shown in titles and
// the windows' own icon (from the program's resources, so no installed file is needed).
namespace qh::app {

inline constexpr auto DesktopId = "cn.qinghe.Clinic";   // cn.qinghe.Clinic.desktop, its AppStream id
inline constexpr auto WindowClass = "qinghe";            // WM_CLASS class and StartupWMClass

// Call once, right after the QApplication is made.
void identifyApplication();

} // namespace qh::app
