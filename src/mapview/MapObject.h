#pragma once

#include "base/OwningList.h"
#include "mapview/PictureHolder.h"

#include <string>
#include <string_view>
#include <vector>

class TTextList;

// A static object of the current map: a control point, a vehicle spawn or any other object
// of the map's object file.
class TMapObject {
public:
    TMapObject();

    double FZ = 0;
    double FY = 0;
    double FX = 0;
    std::string FObjectClass;
    TPictureHolder FImage;
    int FTeam = 0;
    std::string FPosition;
    std::string FStartPosition;
    std::string FPictureName;

    // Stores the position text and reads its three numbers (a bad number raises an error).
    void SetPosition(std::string_view position);
    void ResetPosition() { SetPosition(std::string(FStartPosition)); }
    void SetObjectClass(std::string_view objectClass); // trimmed
    void SetPictureName(std::string_view name) { FPictureName = name; }
    void SetTeam(int team) { FTeam = team; }
    bool IsControlPoint() const { return FObjectClass.find("controlpoint") != std::string::npos; }
    // Whether every component of the position text lies within the tolerance of the object's.
    bool IsNear(std::string_view position, int tolerance) const;
};

// The map's objects in object-file order, each with the position text it was read with.
// Indexes raise "List index out of bounds (%d)".
class TMapObjectList {
public:
    int Count() const { return FItems.Count(); }
    TMapObject* Add(std::string position);
    TMapObject* Object(int index) const { return &FItems.At(index)->Object; }
    const std::string& Text(int index) const { return FItems.At(index)->Text; }
    void Clear() { FItems.Clear(); }

private:
    struct TEntry {
        std::string Text;
        TMapObject Object;
    };
    TOwningList<TEntry> FItems;
};

// Nearest-first searches: rounds of growing tolerance, and within a round the earlier object
// in the list wins. Nothing after round 200.
TMapObject* FindControlPointNear(const TMapObjectList& objects, std::string_view position);
TMapObject* FindOtherObjectNear(const TMapObjectList& objects, std::string_view position);
TMapObject* FindMapObjectNear(const TMapObjectList& objects, std::string_view position, std::string_view pictureName);

// One object of a map's object file: the create, position and team lines of a group.
struct TObjectGroup {
    std::string ObjectClass;
    std::string Position;
    std::string Team;
};

// The complete groups of an object file's lines, in order. Keywords are recognised in any
// letter case, but only at the very start of a line; a group cut short is skipped.
std::vector<TObjectGroup> ReadObjectGroups(const TTextList& lines);
