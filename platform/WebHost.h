#pragma once

#include <QString>

// The host name of the maker's web server, a setting of the build. A build
// that was not given the real host answers a name under ".invalid", so
// nothing it sends or opens reaches anyone.
QString MakerWebHost();
