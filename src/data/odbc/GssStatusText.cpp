#include "data/odbc/GssStatusText.h"
#include <QStringList>

namespace data {

QString gssStatusText(OM_uint32 status, int type)
{
    QStringList parts;
    OM_uint32 context = 0;
    do {
        OM_uint32 minor = 0;
        gss_buffer_desc text = GSS_C_EMPTY_BUFFER;
        if (gss_display_status(&minor, status, type, GSS_C_NO_OID, &context, &text) != GSS_S_COMPLETE)
            break;
        parts << QString::fromUtf8(static_cast<const char *>(text.value), qsizetype(text.length));
        gss_release_buffer(&minor, &text);
    } while (context != 0);
    return parts.join(QLatin1String(": "));
}

} // namespace data
