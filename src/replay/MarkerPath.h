#pragma once

// The places the animation works out for a moving marker, kept while what they come from stays
// the same: a marker moves between the same two places for many ticks, and a seek runs
// thousands of ticks at once. Kept values are what the same computation gave before, so
// keeping them changes nothing of the results.

#include "log/EventInfo.h"
#include "replay/InfoClass.h"
#include "replay/ReplayMath.h"

#include <cstdint>
#include <optional>

// What turns world coordinates into map pixels: the two scale sliders and the map's height.
struct TMapScale {
    int32_t x = 0;
    int32_t y = 0;
    int32_t height = 0;
    bool operator==(const TMapScale&) const = default;
};

// The map place of a state's last event, where its marker rests.
struct TLastPlace {
    const TEventInfo* event = nullptr;
    double posX = 0;
    double posZ = 0;
    TMapScale scale;
    int32_t x = 0;
    int32_t y = 0;
    bool known = false;

    bool Describes(const TEventInfo& e, const TMapScale& now) const
    {
        return known && event == &e && posX == e.PosX && posZ == e.PosZ && scale == now;
    }

    // The last placing with it: asked for the same place with the same margins and marker size,
    // a marker still where that placing left it stays there.
    struct TPlacing {
        const TEventInfo* event = nullptr; // the state's last event then
        int32_t x = 0, y = 0, left = 0, top = 0, width = 0, height = 0;
        int32_t markerLeft = 0, markerTop = 0;
        bool operator==(const TPlacing&) const = default;
    } placing;
    bool placed = false;
};

// A marker's way from its last place to its next, in tenths of the clock and map pixels.
struct TMarkerPath {
    const TInfoClass* state = nullptr;
    double eta = 0;
    double timeLastEvent = 0;
    double goingX = 0;
    double goingZ = 0;
    double comingX = 0;
    double comingZ = 0;
    TMapScale scale;
    bool known = false;

    int32_t eta10 = 0;
    int32_t total = 0; // never negative
    int32_t gx = 0;
    int32_t gy = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    std::optional<TCoordinateMove> x; // made when first needed, as the division would be
    std::optional<TCoordinateMove> y;
    TLastPlace last;

    bool Describes(const TInfoClass& s, const TMapScale& now) const
    {
        return known && state == &s && eta == s.ETA && timeLastEvent == s.TimeLastEvent && goingX == s.GoingTo.X &&
               goingZ == s.GoingTo.Z && comingX == s.CommingFrom.X && comingZ == s.CommingFrom.Z && scale == now;
    }
    void Set(const TInfoClass& s, const TMapScale& now, int32_t etaTenths, int32_t totalTenths, int32_t goingMapX,
             int32_t goingMapY, int32_t comingMapX, int32_t comingMapY)
    {
        state = &s;
        eta = s.ETA;
        timeLastEvent = s.TimeLastEvent;
        goingX = s.GoingTo.X;
        goingZ = s.GoingTo.Z;
        comingX = s.CommingFrom.X;
        comingZ = s.CommingFrom.Z;
        scale = now;
        eta10 = etaTenths;
        total = totalTenths;
        gx = goingMapX;
        gy = goingMapY;
        cx = comingMapX;
        cy = comingMapY;
        x.reset();
        y.reset();
        known = true;
    }
    TCoordinateMove& X()
    {
        if (!x)
            x.emplace(gx, cx, total);
        return *x;
    }
    TCoordinateMove& Y()
    {
        if (!y)
            y.emplace(gy, cy, total);
        return *y;
    }
};
