// menu/draw.cpp -- draws menu sprites and text lines. Never allocates: each line's markup is
// copied into a fixed arena that is reused once the game has drawn the frame (the next
// scriptWait has returned), since the game may still read the copy until then.
#include "menu/draw.h"

#include <cstring>

#include "host/native_call.h"
#include "host/natives.h"

namespace {

constexpr float MenuX = 0.168f;
constexpr float TextX = 0.065f;
constexpr float RowHeight = 0.04f;
constexpr float FirstTextY = 0.12f;
constexpr float FirstBarY = 0.1336f;
constexpr float TextScale = 0.4f;

// Wrapped around every line exactly as written; "%04X" is not a format, it reaches the game.
constexpr char MarkupOpen[] = "<FONT FACE='$title' COLOR='#%04X'>";
constexpr char MarkupClose[] = "</FONT>";
constexpr size_t MarkupOpenLength = sizeof MarkupOpen - 1;
constexpr size_t MarkupCloseLength = sizeof MarkupClose - 1;
static_assert(MarkupOpenLength == 34 && MarkupCloseLength == 7, "the markup is fixed");

// A frame's worth of lines is a dozen of about 80 bytes; a line too long for what is left is
// cut short rather than ever touching the heap.
constexpr size_t ArenaBytes = 16384;
char Arena[ArenaBytes];
size_t ArenaUsed = 0;
uint32_t ArenaGeneration = 0;

const char* CopyMarkup(const char* text)
{
    if (ArenaGeneration != WaitGeneration) {
        ArenaUsed = 0;
        ArenaGeneration = WaitGeneration;
    }
    const size_t room = ArenaBytes - ArenaUsed;
    const size_t frame = MarkupOpenLength + MarkupCloseLength + 1;
    if (room < frame)
        return MarkupOpen;  // cannot happen with menu texts; an unclosed tag beats a crash
    size_t length = std::strlen(text);
    if (length > room - frame)
        length = room - frame;

    char* copy = Arena + ArenaUsed;
    std::memcpy(copy, MarkupOpen, MarkupOpenLength);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the closing tag's copy below ends it
    std::memcpy(copy + MarkupOpenLength, text, length);
    std::memcpy(copy + MarkupOpenLength + length, MarkupClose, MarkupCloseLength + 1);
    ArenaUsed += MarkupOpenLength + length + MarkupCloseLength + 1;
    return copy;
}

void DrawLine(const char* text, int32_t row, bool grey)
{
    Invoke<void>(NativeSetTextScale, TextScale, TextScale);
    // Scale and colour apply to the next text only; a normal line after a grey one is normal.
    if (grey)
        Invoke<void>(NativeSetTextColour, 100, 100, 100, 235);
    const char* markup = CopyMarkup(text);
    const Opaque literal = Invoke<Opaque>(NativeComposeText, 10, "LITERAL_STRING", markup);
    const Opaque coloured = Invoke<Opaque>(NativeComposeText, 42, "COLOR_STRING", 0, literal);
    Invoke<void>(NativeDisplayText, coloured, TextX, MenuTextY(row));
}

}  // namespace

float MenuTextY(int32_t row) { return static_cast<float>(row) * RowHeight + FirstTextY; }
float MenuBarY(int32_t row) { return static_cast<float>(row) * RowHeight + FirstBarY; }

void DrawMenuSprite(float y, float width, float height, int32_t red, int32_t green, int32_t blue, int32_t alpha)
{
    Invoke<void>(NativeDrawSprite, "generic_textures", "hud_menu_4a", MenuX, y, width, height, 0.0f, red, green, blue,
                 alpha, 0);
}

void DrawSelectionHighlight(int32_t row)
{
    const float y = MenuBarY(row);
    DrawMenuSprite(y, 0.225f, 0.041f, 80, 10, 10, 235);  // dark red frame
    DrawMenuSprite(y, 0.22f, 0.036f, 10, 10, 10, 240);   // fill, leaving the frame's edge
}

void DrawMenuText(const char* text, int32_t row) { DrawLine(text, row, false); }
void DrawMenuTextGrey(const char* text, int32_t row) { DrawLine(text, row, true); }

void DrawMenuPanel() { DrawMenuSprite(0.36f, 0.255f, 0.55f, 0, 0, 0, 250); }
