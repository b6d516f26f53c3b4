#pragma once

class QWidget;

namespace vindle {
class Settings;
}

// Runs the "Configuration Settings" dialog on `settings` modally over `owner`; its result is not
// used.
void RunConfigurationDialog(QWidget* owner, const vindle::Settings& settings);
