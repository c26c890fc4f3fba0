#include "settings_table.h"

#include "package/settings.h"

namespace tool {

namespace {

using K = Kind;

const std::vector<SettingInfo> kSettings = {
    {qb::kShowBackground, "show_background", K::kFlag, "0", "full-screen background window behind the wizard"},
    {qb::kDotNetDownload, "dotnet_download", K::kText, "0", "address opened when .NET is missing (\"0\": none)"},
    {qb::kBackgroundGradient, "background_gradient", K::kFlag, "1", "gradient background (off: background picture)"},
    {qb::kGradientColour1, "gradient_colour_1", K::kColour, "8388608", "first gradient colour (0x00BBGGRR)"},
    {qb::kGradientColour2, "gradient_colour_2", K::kColour, "0", "second gradient colour"},
    {qb::kGradientHorizontal, "gradient_horizontal", K::kFlag, "0", "gradient from left to right (off: top to bottom)"},
    {qb::kBackgroundPictureMode, "background_picture_mode", K::kNumber, "1", "0 tiled, 1 stretched, 2 centred"},
    {qb::kBackgroundUpperText, "background_upper_text", K::kExpanded, "", "upper text of the background window"},
    {qb::kBackgroundLowerText, "background_lower_text", K::kExpanded, "", "lower text of the background window"},
    {qb::kUpperFontHeight, "upper_font_height", K::kNumber, "-32", "font height of the upper text"},
    {qb::kUpperFontName, "upper_font_name", K::kText, "Arial", "font of the upper text"},
    {qb::kUpperColour, "upper_colour", K::kColour, "16777215", "colour of the upper text"},
    {qb::kUpperCharset, "upper_charset", K::kNumber, "0", "character set of the upper text"},
    {qb::kUpperFontStyle, "upper_font_style", K::kNumber, "1", "1 bold, 2 italic, 4 underline, 8 strike-out"},
    {qb::kLowerFontStyle, "lower_font_style", K::kNumber, "0", "style of the lower text"},
    {qb::kLowerColour, "lower_colour", K::kColour, "16777215", "colour of the lower text"},
    {qb::kLowerCharset, "lower_charset", K::kNumber, "0", "character set of the lower text"},
    {qb::kLowerFontHeight, "lower_font_height", K::kNumber, "-16", "font height of the lower text"},
    {qb::kLowerFontName, "lower_font_name", K::kText, "Arial", "font of the lower text"},
    {qb::kComponentCount, "component_count", K::kComputed, "0", "from [[components]]"},
    {qb::kVolumePattern, "volume_pattern", K::kComputed, "", "from [package] volume_pattern"},
    {qb::kShortcutTasks, "shortcut_tasks", K::kFlag, "", "offer the task check boxes (default: when a shortcut needs one)"},
    {qb::kRequiredDiskSpace, "required_disk_space", K::kNumber, "", "free bytes needed (default: the size of the files)"},
    {qb::kIniCount, "ini_count", K::kComputed, "0", "from [[ini]]"},
    {qb::kUninstallProgramCount, "uninstall_program_count", K::kComputed, "0", "from [[programs]]"},
    {qb::kLanguageCount, "language_count", K::kComputed, "1", "from [[languages]]"},
    {qb::kBrandingText, "branding_text", K::kExpanded, "", "text at the bottom left of the wizard"},
    {qb::kPassword, "password", K::kComputed, "", "from [app] password"},
    {qb::kLicensePage, "license_page", K::kFlag, "", "show the License page (default: when there is a license)"},
    {qb::kFontCount, "font_count", K::kComputed, "0", "from [[fonts]]"},
    {qb::kThirdItemOffered, "third_item_offered", K::kFlag, "", "offer the third finish check box (default: when third_item is set)"},
    {qb::kThirdItem, "third_item", K::kExpanded, "", "path or address opened by the third finish check box"},
    {qb::kThirdItemChecked, "third_item_checked", K::kFlag, "0", "third finish check box starts checked"},
    {qb::kRunProgramOffered, "run_program_offered", K::kFlag, "", "offer to run the program (default: when program_to_run is set)"},
    {qb::kInstallProgramCount, "install_program_count", K::kComputed, "0", "from [[programs]]"},
    {qb::kStartupNotice, "startup_notice", K::kText, "0", "information box shortly after the wizard appears (\"0\": none)"},
    {qb::kProgramToRun, "program_to_run", K::kExpanded, "", "command line started from the finish page"},
    {qb::kRunProgramChecked, "run_program_checked", K::kFlag, "1", "run-program check box starts checked"},
    {qb::kUninstallExtraCount, "uninstall_extra_count", K::kComputed, "0", "from [[uninstall_extras]]"},
    {qb::kReadmeChecked, "readme_checked", K::kFlag, "0", "view-readme check box starts checked"},
    {qb::kReadmeDocument, "readme_document", K::kExpanded, "", "document opened by the view-readme check box"},
    {qb::kProgressTotal, "progress_total", K::kComputed, "0", "counted from the package"},
    {qb::kHeaderBitmap, "header_bitmap", K::kFlag, "", "draw the header picture (default: when there is one)"},
    {qb::kRegistryValueCount, "registry_value_count", K::kComputed, "0", "from [[registry]]"},
    {qb::kRestartRequired, "restart_required", K::kFlag, "0", "offer to restart Windows at the end"},
    {qb::kAppSubfolder, "app_subfolder", K::kExpanded, "", "appended to a folder picked with Browse (default: the app name)"},
    {qb::kShortcutCount, "shortcut_count", K::kComputed, "0", "from [[shortcuts]]"},
    {qb::kWriteUninstall, "write_uninstall", K::kFlag, "0", "write the uninstall log and uninstaller trailer"},
    {qb::kMessagesPerLanguage, "messages_per_language", K::kComputed, "96", "from the languages"},
    {qb::kDefaultDestination, "destination", K::kComputed, "", "from [app] destination"},
    {qb::kPasswordFieldOptions, "password_field_options", K::kNumber, "0", "edit-box option bits of the password field"},
    {qb::kHeaderGradientColour2, "header_gradient_colour_2", K::kColour, "16777215", "end colour of the header gradient"},
    {qb::kExcludedWindows, "excluded_windows", K::kNumber, "0", "bit mask of Windows versions to refuse"},
    {qb::kExcludedWindowsText, "excluded_windows_text", K::kText, "", "appended to the unsupported-Windows message"},
    {qb::kSideBitmap, "side_bitmap", K::kFlag, "", "draw the side picture (default: when there is one)"},
    {qb::kUninstallerOptionA, "uninstaller_option_a", K::kText, "", "passed to the uninstaller"},
    {qb::kInstallerTitle, "title", K::kComputed, "", "from [app] title"},
    {qb::kHeaderGradient, "header_gradient", K::kFlag, "0", "paint the header band as a gradient"},
    {qb::kFileCount, "file_count", K::kComputed, "0", "from [[files]]"},
    {qb::kUninstallerOptionB, "uninstaller_option_b", K::kText, "", "passed to the uninstaller"},
    {qb::kHeaderTitleX, "header_title_x", K::kNumber, "171", "x of the header title"},
    {qb::kHeaderColour, "header_colour", K::kColour, "16777215", "colour of the header band"},
    {qb::kHeaderBitmapTransparent, "header_bitmap_transparent", K::kFlag, "0", "draw the header picture with its top-left colour transparent"},
    {qb::kHeaderTitleY, "header_title_y", K::kNumber, "8", "y of the header title"},
    {qb::kHeaderSubtitleX, "header_subtitle_x", K::kNumber, "178", "x of the header subtitle"},
    {qb::kUninstallerOptionC, "uninstaller_option_c", K::kText, "", "passed to the uninstaller"},
    {qb::kUninstallerOptionD, "uninstaller_option_d", K::kText, "", "passed to the uninstaller"},
    {qb::kDestinationFixed, "destination_fixed", K::kFlag, "0", "the destination cannot be changed"},
    {qb::kSideBitmapTransparent, "side_bitmap_transparent", K::kFlag, "0", "draw the side picture with its top-left colour transparent"},
    {qb::kHeaderSubtitleY, "header_subtitle_y", K::kNumber, "26", "y of the header subtitle"},
    {qb::kReadmeOffered, "readme_offered", K::kFlag, "", "offer to view the readme (default: when readme_document is set)"},
    {qb::kHeaderBitmapY, "header_bitmap_y", K::kNumber, "0", "y of the header picture"},
    {qb::kHeaderBitmapX, "header_bitmap_x", K::kNumber, "0", "x of the header picture"},
    {qb::kSideBitmapY, "side_bitmap_y", K::kNumber, "0", "y of the side picture"},
    {qb::kSideBitmapX, "side_bitmap_x", K::kNumber, "0", "x of the side picture"},
    {qb::kReadmePage, "readme_page", K::kFlag, "", "show the Readme page (default: when there is a readme)"},
    {qb::kDotNetAtLeast, "dotnet_at_least", K::kFlag, "1", "the .NET version must be at least (off: exactly) the required one"},
    {qb::kProgramGroup, "program_group", K::kFlag, "", "create a program group (default: when a shortcut goes there)"},
    {qb::kTask1Offered, "task_desktop", K::kFlag, "", "offer the desktop task (default: when a shortcut needs it)"},
    {qb::kTask2Offered, "task_start_menu", K::kFlag, "", "offer the Start menu task (default: when a shortcut needs it)"},
    {qb::kTask3Offered, "task_quick_launch", K::kFlag, "", "offer the Quick Launch task (default: when a shortcut needs it)"},
    {qb::kUninstallerPath, "uninstaller_path", K::kExpanded, "{app}\\uninstall.exe", "the uninstaller that gets the trailer"},
    {qb::kUninstallLogPath, "uninstall_log_path", K::kExpanded, "{app}\\uninstall.log", "where the uninstall log goes"},
    {qb::kFolderCount, "folder_count", K::kComputed, "0", "from [[folders]]"},
    {qb::kCabinetSize, "cabinet_size", K::kComputed, "0", "from [package] cabinet_size"},
    {qb::kRegistryKeyCount, "registry_key_count", K::kComputed, "0", "from [[registry_keys]]"},
    {qb::kUninstallerOptionE, "uninstaller_option_e", K::kText, "", "passed to the uninstaller"},
    {qb::kRegistryVariableCount, "registry_variable_count", K::kComputed, "0", "from [[registry_variables]]"},
    {qb::kRequireAdmin, "require_admin", K::kFlag, "0", "refuse to run without administrator rights"},
    {qb::kRequiredDotNet, "required_dotnet", K::kText, "0", "required .NET Framework version (\"0\": no check)"},
    {qb::kCloseRunningApp, "close_running_app", K::kFlag, "0", "close a running copy of the application first"},
    {qb::kAppToClose, "app_to_close", K::kText, "", "window title or process name to close"},
    {qb::kCloseMatchMode, "close_match_mode", K::kNumber, "0", "0 exact title, 1 title contains, 2 process file name"},
    {qb::kDefaultGroup, "group", K::kComputed, "", "from [app] group"},
    {qb::kSpOption, "sp_option", K::kText, "1", "set to \"0\" by /SP; not read by the installer"},
    {qb::kUninstallerOptionF, "uninstaller_option_f", K::kText, "", "passed to the uninstaller"},
    {qb::kGroupFixed, "group_fixed", K::kFlag, "0", "the program group cannot be changed"},
    {qb::kSilentByDefault, "silent_by_default", K::kFlag, "0", "always install silently, as with /S"},
    {qb::kWelcomePage, "welcome_page", K::kFlag, "1", "show the Welcome page"},
    {qb::kDestinationPage, "destination_page", K::kFlag, "1", "show the Destination page"},
    {qb::kGroupPage, "group_page", K::kFlag, "", "show the Program group page (default: with a program group)"},
    {qb::kTasksPage, "tasks_page", K::kFlag, "", "show the Tasks page (default: with shortcut tasks)"},
    {qb::kReadyPage, "ready_page", K::kFlag, "1", "show the Ready page"},
    {qb::kFinishPage, "finish_page", K::kFlag, "1", "show the Finish page"},
    {qb::kLastCabinetNumber, "last_cabinet_number", K::kComputed, "0", "from the cabinet set"},
    {qb::kLastCabinetSize, "last_cabinet_size", K::kComputed, "0", "from the cabinet set"},
};

}  // namespace

const std::vector<SettingInfo>& AllSettings() { return kSettings; }

const SettingInfo* FindSetting(const std::string& name) {
  for (const auto& s : kSettings) {
    if (name == s.name) return &s;
  }
  return nullptr;
}

const SettingInfo* SettingAt(int index) {
  for (const auto& s : kSettings) {
    if (s.index == index) return &s;
  }
  return nullptr;
}

}  // namespace tool
