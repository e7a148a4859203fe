// Fills the graphics rows of the framework's start-up order.
#pragma once

void vgraphicsInstallStartup();
