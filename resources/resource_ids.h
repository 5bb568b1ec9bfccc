// Resource ids shared by lumar.rc and the code.
#pragma once

#define IDD_CONFIGURE 101
#define IDB_LINK_BUTTON 104
#define IDR_PICTURE_SKY 187
#define IDR_PICTURE_METAL 188
#define IDR_PICTURE_BAR 189
