// mingw-w64's libmfuuid lacks the Media Engine's GUIDs (the Windows SDK's mfuuid.lib has them).
// Define those of mfmediaengine.h here, once: the other headers come in first without
// INITGUID, so that only the Media Engine's own GUIDs get definitions in this file.
#if !defined(_MSC_VER)
#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mftransform.h>
#include <initguid.h>
#include "video/media_foundation.h"
#endif
