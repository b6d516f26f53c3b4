#pragma once

class QWidget;

// Runs the "Configuration Settings" dialog modally over `owner`; its result is not used.
void RunConfigurationDialog(QWidget* owner);
