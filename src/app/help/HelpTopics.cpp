#include "HelpTopics.h"
#include <QtGlobal>

// The pages live in a static library: register them before the first look-up, or the
// linker may leave their registration out.
static void registerHelpPages()
{
    Q_INIT_RESOURCE(help);
}

namespace help {

const std::vector<HelpTopic> &helpTopics()
{
    static const bool registered = (registerHelpPages(), true);
    Q_UNUSED(registered);
    static const std::vector<HelpTopic> topics = {
        {kContentsTopic, QStringLiteral("index.html"), QStringLiteral("說明目錄")},
        {kConnectionEditorTopic, QStringLiteral("connection-editor.html"),
         QStringLiteral("連接字串編輯")},
        {kDataLinkTopic, QStringLiteral("data-link.html"), QStringLiteral("資料連結內容")},
    };
    return topics;
}

const HelpTopic &topicOf(int number)
{
    for (const HelpTopic &topic : helpTopics())
        if (topic.number == number)
            return topic;
    return helpTopics().front();
}

QUrl pageUrl(const HelpTopic &topic)
{
    return QUrl(QStringLiteral("qrc:/help/") + topic.page);
}

} // namespace help
