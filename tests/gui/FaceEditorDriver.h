#pragma once
// Drives an open face editor along the road of the GUI test. Kept apart from
// the main window's headers, whose input types share names with the editor's.

#include <functional>
#include <string>

namespace velmora {

class TfrmFaceEditor;

struct TEditorRoad {
    int BaseWidth = 0, BaseHeight = 0;
    int LayersAfterPicture = 0;
    bool TextSelected = false;
    float PlacedLeft = 0, PlacedTop = 0, DraggedLeft = 0, DraggedTop = 0;
    unsigned DarkestInText = 0xFFFFFF; // darkest composite pixel across the text's middle row
    bool Accepted = false;
};

// Adds a picture layer from `picture` and a text layer "VELMORA", drags the
// text 60 x 140 view pixels with the mouse, runs `screenshot`, presses "&Done".
TEditorRoad driveEditorRoad(TfrmFaceEditor& editor, const std::string& picture,
                            const std::function<void()>& screenshot);

} // namespace velmora
