#pragma once
// Media Foundation and the Media Engine, for video/ only. MSVC takes mfmediaengine.h from the
// Windows SDK; mingw-w64 takes the header generated from Wine's IDL at build time
// (cmake/mfmediaengine.cmake), which needs two things mingw's headers lack.
#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>

#if !defined(_MSC_VER)
#include <mftransform.h>
#ifndef EXTERN_GUID
#define EXTERN_GUID DEFINE_GUID
#endif
// Lives in mftransform.idl; mingw-w64's mftransform.h lacks it.
#ifndef __MF3DVideoOutputType_DEFINED
#define __MF3DVideoOutputType_DEFINED
typedef enum MF3DVideoOutputType {
    MF3DVideoOutputType_BaseView = 0,
    MF3DVideoOutputType_Stereo = 1
} MF3DVideoOutputType;
#endif
#endif

#include <mfmediaengine.h>
