#include "messages.h"

namespace tool {

namespace {

// Check box captions (20, 21, 28, 31 to 33, 84) are shown with every "&"
// doubled, so they carry no keyboard accelerator; button captions do.
const std::vector<MessageInfo> kMessages = {
    {1, "welcome_title", "Welcome to the %APP% Setup"},
    {2, "welcome_body",
     "This will install %APP% on your computer.\r\n\r\nIt is a good idea to close other programs "
     "before you go on.\r\n\r\nClick Next to continue, or Cancel to leave Setup."},
    {3, "destination_description",
     "Setup will install %APP% in the folder below. To use another folder, type its path or click "
     "Browse."},
    {4, "ready_description",
     "Setup is ready to install %APP%. Click Install to begin, or Back to change something."},
    {5, "progress_description", "Please wait while Setup installs %APP% on your computer."},
    {6, "finish_title", "%APP% is installed"},
    {7, "finish_body",
     "Setup has finished installing %APP% on your computer.\r\n\r\nClick Finish to close Setup."},
    {8, "disk_space_before", "There is not enough free space on drive "},
    {9, "license_title", "License Agreement"},
    {10, "license_subtitle", "Please read the license terms before you install %APP%."},
    {11, "destination_title", "Choose a Folder"},
    {12, "destination_subtitle", "Where should %APP% be installed?"},
    {13, "group_subtitle", "Where should Setup put the program's shortcuts?"},
    {14, "group_tasks_title", "Shortcuts"},
    {15, "tasks_subtitle", "Which extra shortcuts would you like?"},
    {16, "ready_title", "Ready to Install"},
    {17, "progress_subtitle", "Installing %APP%"},
    {18, "license_description", "By clicking I Agree you accept the terms of this license."},
    {19, "group_description", "Setup will create the shortcuts in the Start menu folder below."},
    {20, "run_program_check", "Run %APP% now"},
    {21, "view_readme_check", "View the readme file"},
    {22, "next_license", "I &Agree"},
    {23, "next", "&Next >"},
    {24, "back", "< &Back"},
    {25, "cancel", "Cancel"},
    {26, "next_before_progress", "&Install"},
    {27, "browse", "B&rowse..."},
    {28, "no_group_check", "Don't create a Start menu folder"},
    {29, "destination_frame", "Destination folder"},
    {30, "unused_30", ""},
    {31, "task_desktop", "Create a desktop shortcut"},
    {32, "task_start_menu", "Create a Start menu shortcut"},
    {33, "task_quick_launch", "Create a Quick Launch shortcut"},
    {34, "readme_title", "Read Me"},
    {35, "status_file_prefix", "Copying "},
    {36, "unused_36", ""},
    {37, "status_registry", "Writing registry values..."},
    {38, "status_shortcuts", "Creating shortcuts..."},
    {39, "status_uninstall", "Saving uninstall information..."},
    {40, "status_finishing", "Finishing..."},
    {41, "finish", "&Finish"},
    {42, "disk_space_caption", "Not enough disk space"},
    {43, "ready_destination", "Destination folder:"},
    {44, "ready_group", "Start menu folder:"},
    {45, "ready_tasks", "Extra shortcuts:\r\n"},
    {46, "cancel_question", "Setup is not finished yet. Do you really want to leave it?"},
    {47, "next_volume",
     "Setup needs the next part of the installation. Please make this file available and click OK: "
     "volume "},
    {48, "disk_space_after", ". Please free some space or choose another folder."},
    {49, "folder_picker_title", "Choose the folder to install %APP% in:"},
    {50, "tasks_description", "Choose the shortcuts Setup should create, then click Next."},
    {51, "status_extracting", "Unpacking files..."},
    {52, "unsupported_windows", "%APP% cannot be installed on this version of Windows. "},
    {53, "password_title", "Password"},
    {54, "password_subtitle", "This installation is protected by a password."},
    {55, "password_description", "Please type the password, then click Next."},
    {56, "password_frame", "Password"},
    {57, "status_programs", "Running programs..."},
    {58, "status_font_prefix", "Registering "},
    {59, "abandoned",
     "Setup could not finish and has stopped. Files that were already installed stay in place."},
    {60, "status_ini", "Writing settings files..."},
    {61, "progress_title", "Installing"},
    {62, "ready_subtitle", "Setup has everything it needs."},
    {63, "uninstall_title", "Uninstall %APP%"},
    {64, "uninstall_question",
     "Do you want to remove %APP% and all of its parts from your computer?"},
    {65, "uninstall_progress", "Removing %APP%..."},
    {66, "restart_now", "Restart &now"},
    {67, "restart_later", "I will restart &later"},
    {68, "uninstall_welcome_title", "Remove %APP%"},
    {69, "uninstall_welcome_body", "This will remove %APP% from your computer."},
    {70, "uninstall_ready_title", "Ready to Remove"},
    {71, "uninstall_ready_body", "Click Remove to take %APP% off your computer."},
    {72, "uninstall_remove_button", "&Remove"},
    {73, "uninstall_progress_title", "Removing"},
    {74, "uninstall_progress_body", "Please wait while %APP% is removed."},
    {75, "uninstall_finish_title", "%APP% is removed"},
    {76, "uninstall_finish_body", "%APP% has been removed from your computer."},
    {77, "uninstall_files_left", "Some files could not be removed. You can delete them yourself."},
    {78, "uninstall_running", "%APP% is still running. Please close it and try again."},
    {79, "finish_body_restart",
     "Setup has finished installing %APP%. Windows must restart before you use it.\r\n\r\nShould "
     "Setup restart Windows now?"},
    {80, "status_folders", "Creating folders..."},
    {81, "uninstall_cancel_question", "Do you really want to stop removing %APP%?"},
    {82, "readme", "Please read the following notes."},
    {83, "unused_83", ""},
    {84, "third_item_check", "Open the program's web page"},
    {85, "admin_required",
     "You need administrator rights to install %APP%. Please sign in as an administrator and try "
     "again."},
    {86, "dotnet_missing",
     "%APP% needs the Microsoft .NET Framework, which is not installed on this computer."},
    {87, "dotnet_question", "Would you like to download it now?"},
    {88, "overwrite_heading", "This file already exists. Do you want to replace it?"},
    {89, "overwrite_existing", "Existing file:"},
    {90, "overwrite_new", "New file:"},
    {91, "overwrite_yes", "&Yes"},
    {92, "overwrite_yes_all", "Yes to &all"},
    {93, "overwrite_no", "&No"},
    {94, "overwrite_no_all", "N&o to all"},
    {95, "cannot_create", "Setup cannot write this file:\r\n"},
    {96, "cannot_create_after", "Click OK to skip it, or Cancel to stop Setup."},
    // The Destination page's two space lines; the size follows each, and the
    // drive and ": " follow message 98 ("Space available on C:: 4.1 GB").
    {97, "space_required", "Space required: "},
    {98, "space_available", "Space available on "},
    {99, "needs_64bit_windows", "It needs a 64-bit version of Windows."},
};

}  // namespace

const std::vector<MessageInfo>& AllMessages() { return kMessages; }

const MessageInfo* FindMessage(const std::string& name) {
  for (const auto& m : kMessages) {
    if (name == m.name) return &m;
  }
  return nullptr;
}

const MessageInfo* MessageAt(int index) {
  return index >= 1 && index <= static_cast<int>(kMessages.size()) ? &kMessages[index - 1]
                                                                   : nullptr;
}

}  // namespace tool
