// Fixed texts and names of the launcher. Texts shown to a person are UTF-8;
// names handed to the system are ASCII.
#pragma once

namespace vantro {

inline constexpr const char kApplicationTitle[] = "Vantro - 英雄联盟观战程序";
inline constexpr const char kNewVersionText[] = "发现最新版本，请升级至最新版本！";
inline constexpr const char kChooseFolderText[] = "请选择英雄联盟(国服/韩服)安装目录";
inline constexpr const char kRefusedLinkText[] =
    "观战链接中含有不能安全交给命令行的字符（双引号、百分号或控制字符），已拒绝启动观战。";
inline constexpr const char kPickerTitle[] = "选择英雄联盟(国服/韩服)安装目录：";
inline constexpr const char kFatalErrorCaption[] = "Application Error";

inline constexpr const char kScheme[] = "kivra";
inline constexpr const char kHandOffMessageName[] = "ZANTOR_MESSAGE";
inline constexpr const char kInstanceSlotName[] = "{CAF49BBB-AF40-4FDE-8757-51D5AEB5BBBF}";

inline constexpr const char kSettingsFileName[] = "setting.ini";
inline constexpr const char kSettingsSection[] = "setting";
inline constexpr const char kKeyGameFolder[] = "lol_path";
inline constexpr const char kKeyWatch[] = "watch";
inline constexpr const char kKeyCommand[] = "cmd";

inline constexpr const char kGameExe[] = "\\League of Legends.exe";
inline constexpr const char kRadsSolutions[] = "\\RADS\\solutions";
// The RADS layout's deploy folder is releases + pattern + deploy; cmd
// resolves the pattern when it changes into it.
inline constexpr const char kRadsReleases[] = "\\RADS\\solutions\\lol_game_client_sln\\releases";
inline constexpr const char kReleasePattern[] = "\\0.0.*";
inline constexpr const char kDeploy[] = "\\deploy";

}  // namespace vantro
