#include "toolkit/bmp_codec.h"

// Filled in by the skin-data work; until then every call reports the missing codec.
QImage DecodeBmp(const QByteArray&, TBmpInfo*) { throw EInvalidGraphic(QStringLiteral("BMP reading is not available")); }
QByteArray EncodeBmp(const QImage&, int) { throw EInvalidGraphic(QStringLiteral("BMP writing is not available")); }
