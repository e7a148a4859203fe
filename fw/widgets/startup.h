// Fills the widget library's rows of the framework's start-up order.
#pragma once

void vwidgetsInstallStartup();
