// Fixed texts and names of the launcher. Texts shown to a person are UTF-8;
// names handed to the system are ASCII.
#pragma once

namespace vantro {

inline constexpr const char kApplicationTitle[] = "Vantro - 英雄联盟观战程序";
inline constexpr const char kNewVersionText[] = "发现最新版本，请升级至最新版本！";
inline constexpr const char kChooseFolderText[] = "请选择英雄联盟(国服/韩服)安装目录";
inline constexpr const char kRefusedLinkText[] =
    "观战链接中含有不能安全交给命令行的字符（双引号、百分号或控制字符），已拒绝启动观战。";
inline constexpr const char kPercentFolderText[] =
    "游戏目录的路径中含有百分号（%），命令行会把它当作变量展开，无法进入该目录启动游戏。"
    "请把游戏移到路径中没有百分号的文件夹，再选择安装目录。";
inline constexpr const char kNotAnsiFolderText[] =
    "游戏目录的路径中含有本系统代码页无法表示的字符，命令行无法进入该目录启动游戏。"
    "请把游戏移到只含系统语言字符的文件夹，再选择安装目录。";
inline constexpr const char kPickerTitle[] = "选择英雄联盟(国服/韩服)安装目录：";
inline constexpr const char kFatalErrorCaption[] = "Application Error";

inline constexpr const char kScheme[] = "kivra";
inline constexpr const char kHandOffMessageName[] = "ZANTOR_MESSAGE";
// The class of the launcher's main window, where a second start hands its link.
inline constexpr const char kMainWindowClass[] = "TForm1";
inline constexpr const char kInstanceSlotName[] = "{CAF49BBB-AF40-4FDE-8757-51D5AEB5BBBF}";

inline constexpr const char kSettingsFileName[] = "setting.ini";
inline constexpr const char kSettingsSection[] = "setting";
inline constexpr const char kKeyGameFolder[] = "lol_path";
inline constexpr const char kKeyWatch[] = "watch";
inline constexpr const char kKeyCommand[] = "cmd";

inline constexpr const char kGameExe[] = "\\League of Legends.exe";
inline constexpr const char kRadsSolutions[] = "\\RADS\\solutions";
// The RADS layout's deploy folder is releases\<release>\deploy, of
// the highest release whose name matches the pattern and that holds it.
inline constexpr const char kRadsReleases[] = "\\RADS\\solutions\\lol_game_client_sln\\releases";
inline constexpr const char kReleasePattern[] = "\\0.0.*";
inline constexpr const char kDeploy[] = "\\deploy";

}  // namespace vantro
