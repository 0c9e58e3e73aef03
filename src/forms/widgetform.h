#pragma once

#include "ui_widgetform.h"

// The main window's widget tree: a plain record of pointers with setupUi/retranslateUi.
using WidgetForm = Ui::Widget;
