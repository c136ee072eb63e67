#pragma once
// The GSS-API library's own words for a status code, all its messages joined by ": ".
#include <QString>
#include <gssapi/gssapi.h>

namespace data {

// type is GSS_C_GSS_CODE for a major status, GSS_C_MECH_CODE for a mechanism's minor one.
QString gssStatusText(OM_uint32 status, int type);

} // namespace data
