#pragma once

#include <cstdint>
#include <optional>

// The phone book's window as data: its size, its background, and its nineteen
// controls, each once, in the order they are created. That order is also the
// stacking order: where two controls overlap, the later one lies on top.
//
// The window (ui/frmchiamoro.cpp) builds itself from this table; the layout
// test, the bare-window benchmark and the benchmark's click driver (through
// bench/control_places) read the same table. Nothing here needs Qt.
//
// Positions and sizes are in twips, 15 to the device-independent pixel; each
// becomes the nearest whole pixel (4000 twips are 267 pixels).
//
// The captions and tooltips are the window's own texts, character for
// character, odd ones included: a comment says where a text is meant as it is.
namespace layout {

inline constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

struct Colour {
    std::uint8_t red, green, blue;
};

inline constexpr Colour kOrange{255, 128, 0};
inline constexpr Colour kLightYellow{255, 255, 192};
inline constexpr Colour kDarkBlue{0, 0, 192};

// A font by the name the layout gives it; the window maps names the system
// lacks to fonts it has.
struct Font {
    const char16_t* family;
    double points;
    bool bold;
};

// The window itself: its client area, which grows to show the information box
// while the pointer is over "Info" (Label1) and shrinks again over the quit
// button, the picture or the comments box.
inline constexpr int kClientWidth = 6255;     // 417 pixels
inline constexpr int kClientHeight = 3990;    // 266: as the window opens
inline constexpr int kCollapsedHeight = 4000; // 267: Text1 still hidden
inline constexpr int kExpandedHeight = 5825;  // 388: Text1 shown whole
inline constexpr Font kWindowFont{u"MS Sans Serif", 8.25, false};
inline constexpr Colour kBackColour = kOrange;

enum class Kind {
    frame,    // a rectangle's outline, transparent inside and to the mouse
    picture,  // a picture at its natural size, from the top-left corner
    label,    // a caption from the top-left corner
    textBox,  // one line of text
    textArea, // several lines of text with CR LF line breaks, a vertical scroll bar
    button,
};

struct Place {
    int left, top, width, height; // twips
};

// The same place in pixels.
constexpr Place inPixels(const Place& twips) {
    return {pixels(twips.left), pixels(twips.top), pixels(twips.width), pixels(twips.height)};
}

inline constexpr int kNoTabStop = -1;

struct Control {
    const char* name; // the object name
    Kind kind;
    const char16_t* caption = u""; // of a label or a button
    Place place;
    Font font = kWindowFont;
    // The text's colour (a frame's: its line's); none: the system's.
    std::optional<Colour> foreColour = std::nullopt;
    // Behind the text; none: the system's (a label's: transparent).
    std::optional<Colour> backColour = std::nullopt;
    const char* picture = nullptr; // a picture's file, among the resources
    const char* pointer = nullptr; // the mouse pointer's file; none: the arrow
    const char16_t* tooltip = u"";
    int maxLength = 0; // of a text box, in characters (a line break counts two); 0: no limit
    int tabIndex = kNoTabStop; // the place in the tab order, counted from 0
};

// The contact boxes' names run against their roles (see form/interfaces.h):
// txtNome holds the number, under the caption "Chiamoro o Cellulare:", and
// txtChiamoro the name, under "Nome:". Their tooltips follow the captions.
inline constexpr Control kControls[] = {
    {.name = "Shape1",
     .kind = Kind::frame,
     .place = {0, 0, 6255, 3975},
     .foreColour = kLightYellow},
    {.name = "Image1",
     .kind = Kind::picture,
     .place = {240, 360, 1500, 3000},
     .picture = ":/assets/handset.gif"},
    {.name = "lblChiamoro",
     .kind = Kind::label,
     .caption = u"Chiamoro o Cellulare:",
     .place = {1080, 0, 2175, 255},
     .font = {u"Times New Roman", 9.75, true},
     .foreColour = kLightYellow},
    {.name = "lblNome",
     .kind = Kind::label,
     .caption = u"Nome:",
     .place = {1080, 840, 975, 255},
     .font = {u"Times New Roman", 9.75, true},
     .foreColour = kLightYellow},
    {.name = "lblCommenti",
     .kind = Kind::label,
     .caption = u"Commenti:",
     .place = {1080, 1800, 1095, 255},
     .font = {u"Times New Roman", 9.75, true},
     .foreColour = kLightYellow},
    {.name = "Label1",
     .kind = Kind::label,
     .caption = u"Info",
     .place = {240, 3600, 495, 255},
     .font = {u"Comic Sans MS", 9.75, true},
     .backColour = kOrange},
    {.name = "txtNome",
     .kind = Kind::textBox,
     .place = {1080, 240, 3255, 495},
     .font = {u"Arial", 14.25, true},
     .foreColour = kDarkBlue,
     .tooltip = u"Inserire n° di chiamoro o cellulare",
     .maxLength = 40,
     .tabIndex = 0},
    {.name = "txtChiamoro",
     .kind = Kind::textBox,
     .place = {1080, 1080, 3255, 495},
     .font = {u"Arial", 12, false},
     .tooltip = u"Inserire il Nome del contatto",
     .maxLength = 40,
     .tabIndex = 1},
    // The tooltip says 65 characters and has two spaces before "nella": both
    // are the window's own text. The box takes 100, the record's field.
    {.name = "txtCommenti",
     .kind = Kind::textArea,
     .place = {1080, 2040, 3255, 1215},
     .font = {u"Times New Roman", 9.75, false},
     .tooltip = u"Inserire commenti o Numeri secondari (facoltativo e non compreso  nella "
                u"ricerca) Max 65 Caratteri!",
     .maxLength = 100,
     .tabIndex = 2},
    // Below the client area as the window opens: it shows when the window
    // grows. Its text is frmChiamoro::infoText().
    {.name = "Text1", .kind = Kind::textArea, .place = {240, 4080, 5775, 1695}, .tabIndex = 9},
    {.name = "Command2",
     .kind = Kind::button,
     .caption = u"Copia Contatto",
     .place = {1080, 3360, 1695, 375},
     .tooltip = u"Copia Contatto in memoria, per una personalizzata impaginazione in Word o altro.",
     .tabIndex = 12},
    // "contatto" in lower case, unlike the button beside it.
    {.name = "Command3",
     .kind = Kind::button,
     .caption = u"Stampa contatto",
     .place = {2880, 3360, 1455, 375},
     .pointer = ":/assets/book.ico",
     .tabIndex = 11},
    // The top four buttons on the right overlap by one pixel; the later one
    // lies on top.
    {.name = "cmdCerca",
     .kind = Kind::button,
     .caption = u"Cerca N°",
     .place = {4560, 120, 1455, 495},
     .font = {u"Times New Roman", 12, true},
     .pointer = ":/assets/hand.cur",
     .tabIndex = 8},
    {.name = "cmdSuccessivo",
     .kind = Kind::button,
     .caption = u"Successivo",
     .place = {4560, 1080, 1455, 495},
     .font = {u"Times New Roman", 9.75, false},
     .pointer = ":/assets/arrow-up-right.cur",
     .tabIndex = 3},
    {.name = "Command1",
     .kind = Kind::button,
     .caption = u"Cerca Nome",
     .place = {4560, 600, 1455, 495},
     .font = {u"MS Sans Serif", 8.25, true},
     .pointer = ":/assets/letter.ico",
     .tabIndex = 10},
    {.name = "cmdPrecedente",
     .kind = Kind::button,
     .caption = u"Precedente",
     .place = {4560, 1560, 1455, 495},
     .font = {u"Times New Roman", 9.75, false},
     .pointer = ":/assets/arrow-up-left.cur",
     .tabIndex = 4},
    {.name = "cmdNuovo",
     .kind = Kind::button,
     .caption = u"Nuovo",
     .place = {4560, 2160, 1455, 495},
     .font = {u"Times New Roman", 9.75, true},
     .pointer = ":/assets/pen.cur",
     .tabIndex = 5},
    {.name = "cmdCancella",
     .kind = Kind::button,
     .caption = u"Cancella",
     .place = {4560, 2760, 1455, 495},
     .font = {u"Times New Roman", 9.75, false},
     .pointer = ":/assets/move.cur",
     .tabIndex = 7},
    // Alt+E presses it.
    {.name = "cmdEsci",
     .kind = Kind::button,
     .caption = u"&Esci",
     .place = {4560, 3360, 1455, 375},
     .pointer = ":/assets/stop.ico",
     .tabIndex = 6},
};

} // namespace layout
