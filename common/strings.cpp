#include "common/strings.h"

const LocalizedText kIdleTooltip{
    L"Peltorine · Drop wallpaper or double-click to restore the default. Drag the corner to resize.",
    L"Peltorine · Thả hình nền hoặc nhấp đúp để về nền mặc định. Kéo góc để đổi cỡ."};
const LocalizedText kPicturesFilter{L"Pictures (PNG, JPG, JPEG)", L"Ảnh (PNG, JPG, JPEG)"};
const LocalizedText kPicturesOrVideoFilter{L"Pictures or video", L"Ảnh hoặc video"};
const LocalizedText kChooseWallpaperItem{L"Choose wallpaper…", L"Chọn hình nền…"};
const LocalizedText kChooseDefaultWallpaperItem{L"Choose default wallpaper…", L"Chọn hình nền mặc định…"};
const LocalizedText kChooseWallpaperTitle{L"Choose wallpaper", L"Chọn hình nền"};
const LocalizedText kChooseDefaultWallpaperTitle{L"Choose default wallpaper", L"Chọn hình nền mặc định"};
const LocalizedText kRestoreDefaultItem{L"Restore default wallpaper", L"Về hình nền mặc định"};
const LocalizedText kUndoItem{L"Undo last change", L"Hoàn tác lần đổi gần nhất"};
const LocalizedText kFitSubmenu{L"Wallpaper fit", L"Kiểu hiển thị hình nền"};
const LocalizedText kIntervalSuffix{L" sec per image", L" giây/ảnh"};
const LocalizedText kIntervalSubmenu{L"Slideshow interval", L"Thời gian chuyển ảnh"};
const LocalizedText kAllDisplaysItem{L"All displays", L"Tất cả màn hình"};
const LocalizedText kDisplayPrefix{L"Display ", L"Màn hình "};
const LocalizedText kDisplaySubmenu{L"Display for the next change", L"Màn hình cho lần đổi sau"};
const LocalizedText kUseVideoFrameItem{L"Use current video frame", L"Dùng khung hình hiện tại"};
const LocalizedText kDefaultSizeSuffix{L" (default)", L" (mặc định)"};
const LocalizedText kMoveToCornerItem{L"Move to the top-right corner", L"Đưa về góc trên bên phải"};
const LocalizedText kWidgetSubmenu{L"Widget size and position", L"Kích thước và vị trí widget"};
const LocalizedText kStartWithWindowsItem{L"Start with Windows", L"Khởi động cùng Windows"};
const LocalizedText kLanguageSubmenu{L"Language", L"Ngôn ngữ"};
const LocalizedText kExitItem{L"Exit Peltorine", L"Thoát Peltorine"};
const LocalizedText kSettingsSaveFailed{L"Couldn't save the settings.", L"Không lưu được cài đặt."};
const LocalizedText kStartupChangeFailed{L"Couldn't change the Windows startup setting.",
                                         L"Không đổi được tùy chọn khởi động cùng Windows."};
const LocalizedText kDefaultSaveFailed{L"Couldn't save the default wallpaper. Choose a valid PNG or JPEG image.",
                                       L"Không thể lưu hình nền mặc định. Hãy chọn một ảnh PNG hoặc JPEG hợp lệ."};
const LocalizedText kDefaultSaved{L"Default wallpaper saved.", L"Đã lưu hình nền mặc định."};
const LocalizedText kInvalidSelection{L"Choose PNG, JPG or JPEG images, or one MP4 video.",
                                      L"Hãy chọn ảnh PNG, JPG, JPEG hoặc một video MP4."};
const LocalizedText kImageOpenFailedPrefix{L"Couldn't open image ", L"Không mở được ảnh "};
const LocalizedText kVideoTooltip{L"Peltorine · Video wallpaper is playing", L"Peltorine · Đang phát hình nền video"};
const LocalizedText kSlideshowTooltip{L"Peltorine · Wallpaper slideshow is running",
                                      L"Peltorine · Đang chạy album hình nền"};
const LocalizedText kVideoOpenFailed{L"Couldn't open the video as wallpaper.", L"Không mở được video làm hình nền."};
const LocalizedText kWallpaperChangeFailed{L"Couldn't change the wallpaper.", L"Không đổi được hình nền."};
const LocalizedText kVideoFitUndoFailed{L"Couldn't undo the video fit change.",
                                        L"Không thể hoàn tác kiểu hiển thị của video."};
const LocalizedText kVideoFrameFailed{L"Couldn't use the current frame as wallpaper.",
                                      L"Không thể dùng khung hình hiện tại làm hình nền."};
const LocalizedText kFitChangeFailed{L"Couldn't change the wallpaper fit.", L"Không thể đổi kiểu hiển thị hình nền."};
const LocalizedText kOpeningVideoTooltip{L"Peltorine · Opening video…", L"Peltorine · Đang mở video…"};
const LocalizedText kOpeningPicturesTooltip{L"Peltorine · Opening pictures…", L"Peltorine · Đang mở ảnh…"};
const LocalizedText kVideoPlayFailed{L"Couldn't play the video. Check the H.264 MP4 file and connected displays.",
                                     L"Không phát được video. Kiểm tra tệp MP4 H.264 và màn hình đang kết nối."};
const LocalizedText kVideoStopped{L"Video stopped. A still wallpaper is showing.",
                                  L"Video đã dừng. Hình nền tĩnh đang hiển thị."};
const LocalizedText kSlideshowFailed{L"Couldn't continue the slideshow. Check the images and target display.",
                                     L"Không thể tiếp tục album. Kiểm tra các ảnh và màn hình đích."};
const LocalizedText kStartFailedFormat{L"Couldn't start Peltorine (0x%08lX).",
                                       L"Không thể khởi động Peltorine (0x%08lX)."};
// What the command line answers when there is nothing to do its command with.
const LocalizedText kNoSlideshowRunning{L"No slideshow is running.", L"Không có trình chiếu nào đang chạy."};
const LocalizedText kNothingToUndo{L"There is nothing to undo.", L"Không có gì để hoàn tác."};
const LocalizedText kNoDefaultWallpaper{L"No default wallpaper is chosen yet.", L"Chưa chọn hình nền mặc định."};
const LocalizedText kNoVideoPlaying{L"No video wallpaper is showing.", L"Không có hình nền video nào đang hiển thị."};
const LocalizedText kNoSuchDisplay{L"There is no such display.", L"Không có màn hình này."};
const LocalizedText kSpanNeedsAllDisplays{L"Span covers all displays; it cannot go to one display.",
                                          L"Span trải trên mọi màn hình, không thể đặt cho một màn hình."};
const LocalizedText kNoAnswer{L"Peltorine did not answer.", L"Peltorine không trả lời."};

const LocalizedText kFitNames[6] = {
    {L"Center", L"Căn giữa (Center)"}, {L"Tile", L"Lặp ô (Tile)"},   {L"Stretch", L"Kéo giãn (Stretch)"},
    {L"Fit", L"Vừa khung (Fit)"},      {L"Fill", L"Lấp đầy (Fill)"}, {L"Span", L"Trải nhiều màn hình (Span)"},
};
