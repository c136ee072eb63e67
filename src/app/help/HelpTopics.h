#pragma once
// The program's own help: one small Traditional Chinese page per topic, compiled in as
// Qt resources under ":/help/". Dialogs name a topic by its number, as their help
// context; the table in HelpTopics.cpp maps numbers to pages.
#include <QString>
#include <QUrl>
#include <vector>

namespace help {

struct HelpTopic {
    int number;      // help context of the dialog (0: the contents page)
    QString page;    // file name under ":/help/"
    QString title;   // shown in the help window's caption
};

inline constexpr int kContentsTopic = 0;
inline constexpr int kConnectionEditorTopic = 27270;
inline constexpr int kDataLinkTopic = 27271; // our data-link dialog's "說明" button

// Every topic, the contents page first.
const std::vector<HelpTopic> &helpTopics();

// The topic with that number; the contents page for an unknown number.
const HelpTopic &topicOf(int number);

// The resource address of a topic's page ("qrc:/help/connection-editor.html").
QUrl pageUrl(const HelpTopic &topic);

} // namespace help
