#pragma once

#include "ui_settingdialogform.h"

// The settings dialog's widget tree: a plain record of pointers with setupUi/retranslateUi.
using SettingDialogForm = Ui::SerialportSettingDialog;
