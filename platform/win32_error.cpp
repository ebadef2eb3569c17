#include "platform/win32_error.h"

static_assert(hresultFromWin32(0) == 0);
static_assert(hresultFromWin32(ERROR_FILE_NOT_FOUND) == static_cast<HRESULT>(0x80070002));
static_assert(hresultFromWin32(ERROR_INSUFFICIENT_BUFFER) == static_cast<HRESULT>(0x8007007A));
