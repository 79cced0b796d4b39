#pragma once

namespace vestrel {

// The program's name, version, rights holder and addresses: the About box shows them and the
// Help menu opens the chat address. VESTREL_VERSION is the project's version from the build.
inline constexpr char kProductName[] = "Vestrel";
inline constexpr char kProductVersion[] = VESTREL_VERSION;
inline constexpr char kRightsHolder[] = "Copyright (C) 2026 Qentor";
inline constexpr char kMailAddress[] = "mailto:vestrel@qentor.example";
inline constexpr char kWebAddress[] = "https://qentor.example/vestrel/";
inline constexpr char kChatAddress[] = "https://chat.qentor.example/vestrel";

}  // namespace vestrel
