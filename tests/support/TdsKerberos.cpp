#include "TdsKerberos.h"
#include <QStringList>
#include "data/odbc/GssStatusText.h"
#include <gssapi/gssapi.h>
#include <gssapi/gssapi_ext.h>

namespace tds {

namespace {

QString gssError(OM_uint32 major, OM_uint32 minor)
{
    return data::gssStatusText(major, GSS_C_GSS_CODE) + QLatin1String(" / ") + data::gssStatusText(minor, GSS_C_MECH_CODE);
}

QString displayName(gss_name_t name)
{
    OM_uint32 minor = 0;
    gss_buffer_desc text = GSS_C_EMPTY_BUFFER;
    if (gss_display_name(&minor, name, &text, nullptr) != GSS_S_COMPLETE)
        return QString();
    const QString result = QString::fromUtf8(static_cast<const char *>(text.value), qsizetype(text.length));
    gss_release_buffer(&minor, &text);
    return result;
}

} // namespace

struct KerberosAcceptor::Handles {
    gss_cred_id_t credential = GSS_C_NO_CREDENTIAL;
    gss_ctx_id_t context = GSS_C_NO_CONTEXT;
    ~Handles()
    {
        OM_uint32 minor = 0;
        if (context != GSS_C_NO_CONTEXT)
            gss_delete_sec_context(&minor, &context, GSS_C_NO_BUFFER);
        if (credential != GSS_C_NO_CREDENTIAL)
            gss_release_cred(&minor, &credential);
    }
};

// Any service principal in the keytab may be asked for, as with a server's own keytab.
KerberosAcceptor::KerberosAcceptor(const QString &keytab) : handles_(std::make_unique<Handles>())
{
    const QByteArray path = keytab.toUtf8();
    gss_key_value_element_desc element{"keytab", path.constData()};
    const gss_key_value_set_desc store{1, &element};
    OM_uint32 minor = 0;
    const OM_uint32 major = gss_acquire_cred_from(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, GSS_C_NO_OID_SET, GSS_C_ACCEPT,
                                                  &store, &handles_->credential, nullptr, nullptr);
    if (GSS_ERROR(major))
        error_ = gssError(major, minor);
}

KerberosAcceptor::~KerberosAcceptor() = default;

KerberosAcceptor::Step KerberosAcceptor::accept(const QByteArray &token, QByteArray &reply)
{
    reply.clear();
    if (handles_->credential == GSS_C_NO_CREDENTIAL)
        return Step::Failed;
    gss_buffer_desc input{size_t(token.size()), const_cast<char *>(token.constData())};
    gss_buffer_desc output = GSS_C_EMPTY_BUFFER;
    gss_name_t client = GSS_C_NO_NAME;
    OM_uint32 minor = 0;
    const OM_uint32 major = gss_accept_sec_context(&minor, &handles_->context, handles_->credential, &input,
                                                   GSS_C_NO_CHANNEL_BINDINGS, &client, nullptr, &output, nullptr, nullptr,
                                                   nullptr);
    OM_uint32 ignored = 0;
    reply = QByteArray(static_cast<const char *>(output.value), qsizetype(output.length));
    gss_release_buffer(&ignored, &output);
    if (GSS_ERROR(major)) {
        error_ = gssError(major, minor);
        return Step::Failed;
    }
    if (client != GSS_C_NO_NAME) {
        client_ = displayName(client);
        gss_release_name(&ignored, &client);
    }
    return major & GSS_S_CONTINUE_NEEDED ? Step::Continue : Step::Done;
}

} // namespace tds
