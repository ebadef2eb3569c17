#pragma once

// Module resources of peltorine.exe.
#define PELTORINE_ICON_ID 101
#define PELTORINE_BANNER_ID 102

#ifdef __cplusplus
inline constexpr int kIconResourceId = PELTORINE_ICON_ID;
inline constexpr int kBannerResourceId = PELTORINE_BANNER_ID;
#endif
