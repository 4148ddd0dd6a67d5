// Markers for the kits and vehicles of real logs, which the program ships no picture for: each
// living player is drawn as a marker of the kind its kit or vehicle names, in its team's colour.
#include "LogGen.h"
#include "TestUtil.h"
#include "log/OpenedLog.h"
#include "replay/MarkerKinds.h"
#include "replay/PlayerStates.h"
#include "replay/ReplaySession.h"
#include "round/RoundReplay.h"
#include "round/RoundView.h"
#include "settings/ProgramFolder.h"

#include <QImage>

#include <filesystem>

#include <gtest/gtest.h>

TEST(MarkerKinds, NamesOfRealLogsTellTheirKind)
{
    using K = TMarkerKind;
    const std::pair<const char*, K> kits[] = {
        {"German_Assault", K::Assault},  {"USArmy_HeavyAssault_Alt", K::Assault}, {"ARVN_HeavyAssault_Alt", K::Assault},
        {"NVA_Scout_Alt", K::Scout},     {"USArmy_Sniper", K::Scout},             {"Recon_Alt", K::Scout},
        {"Rus_AT", K::AntiTank},         {"German_AntiTank", K::AntiTank},        {"NVA_AT", K::AntiTank},
        {"Rus_Medic", K::Medic},         {"GB_Engineer", K::Engineer},            {"Pilot", K::Soldier},
        {"Japanese_Support", K::Soldier}, {"", K::Soldier}};
    for (const auto& [name, kind] : kits)
        EXPECT_EQ(KitKind(name), kind) << name;
    const std::pair<const char*, K> vehicles[] = {
        {"T34-85", K::Tank},            {"PanzerIV", K::Tank},          {"T54", K::Tank},
        {"T54MG_PCO1", K::Tank},        {"PattonM240_PCO1", K::Tank},   {"Sherman", K::Tank},
        {"BTR60GunnerPCO", K::ArmouredCar}, {"Hanomag_MG42_PCO1", K::ArmouredCar}, {"M113", K::ArmouredCar},
        {"Willys", K::Jeep},            {"M151", K::Jeep},              {"OpelBlitz", K::Truck},
        {"F4Phantom", K::Plane},        {"Spitfire", K::Plane},         {"UH-60", K::Helicopter},
        {"UH1GunnerPCO", K::Helicopter}, {"PBR", K::Boat},              {"LCVP", K::Boat},
        {"Battleship", K::Boat},        {"Valentine", K::Vehicle},
        {"Stationary_mg42", K::MachineGun}, {"Flak38", K::MachineGun},  {"Pak40", K::StaticGun},
        {"Howitzer", K::StaticGun},     {"Zeppelin", K::Vehicle},       {"", K::Vehicle}};
    for (const auto& [name, kind] : vehicles)
        EXPECT_EQ(VehicleKind(name), kind) << name;
}

TEST(MarkerKinds, EveryStandInFillsWithTheTeamColourAndFacesRightAsMarkersDo)
{
    for (int i = 0; i <= static_cast<int>(TMarkerKind::Death); ++i) {
        const auto kind = static_cast<TMarkerKind>(i);
        SCOPED_TRACE(MarkerKindName(kind));
        const QImage& picture = StandInPicture(kind);
        ASSERT_FALSE(picture.isNull());
        // At least as large as a stock kit's marker, white around a black body at the fill point.
        EXPECT_GE(picture.width(), 21);
        EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(picture.pixel(picture.width() / 2, picture.width() / 2), qRgb(0, 0, 0));
    }
}

namespace {

// A round of a real game's kits and vehicles, fought far from the world's origin, replayed
// with the shipped pictures, none of which shows its names.
struct TRealNamesRound {
    explicit TRealNamesRound(loggen::NameSet names)
    {
        std::filesystem::create_directory(dir.Path("images"));
        for (const auto& entry : std::filesystem::directory_iterator(std::string(ORNWICK_BIN_DIR) + "/images"))
            std::filesystem::copy_file(entry.path(), dir.Path("images/" + entry.path().filename().string()));
        dir.Write("Tarvel.ini", "ZOOM=1000\r\n");
        files.Read();
        loggen::Options options;
        options.seed = 11;
        options.players = 24;
        options.rounds = 2;
        options.roundTime = 240;
        options.realWorld = true;
        options.names = names;
        log.Open(dir.Write("log.xml", loggen::generateToString(options)));
        replay = std::make_unique<TRoundReplay>(files, log.Roster());
        replay->Select(*log.Round(0));
    }
    TSeparatorScope point{'.'};
    TTempDir dir;
    TProgramFiles files{dir.Path("Tarvel")};
    TOpenedLog log;
    std::unique_ptr<TRoundReplay> replay;
};

// How many of the living players the frame shows in their team's colour, out of how many.
std::pair<int, int> PaintedLiving(const TReplaySession& session, const QImage& frame, int zoom)
{
    const TPlayerStateList& states = session.PlayerStates();
    int painted = 0, living = 0;
    for (int i = 0; i < states.Count(); ++i) {
        const TInfoClass& s = *states.State(i);
        if (s.Dead || !s.LastEvent)
            continue;
        ++living;
        EXPECT_TRUE(s.Image.HasPicture()) << s.PlayerName << " " << s.AbsoluteClassInfo;
        const QRgb team = s.Team() == 1 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
        const int cx = static_cast<int>(std::lround((s.Image.Left + s.Image.Width / 2) * zoom / 1000.0));
        const int cy = static_cast<int>(std::lround((s.Image.Top + s.Image.Height / 2) * zoom / 1000.0));
        bool found = false;
        for (int y = cy - 6; y <= cy + 6 && !found; ++y)
            for (int x = cx - 6; x <= cx + 6 && !found; ++x)
                found = frame.valid(x, y) && frame.pixel(x, y) == team;
        painted += found;
    }
    return {painted, living};
}

} // namespace

TEST(MarkerKinds, EveryLivingPlayerOfARealGamesRoundIsAMarkerInItsTeamsColour)
{
    for (const loggen::NameSet names : {loggen::NameSet::Stock, loggen::NameSet::Mod}) {
        SCOPED_TRACE(names == loggen::NameSet::Stock ? "stock" : "mod");
        TRealNamesRound round(names);
        TRoundView view;
        view.StartZoom(round.files.Settings());
        view.ApplyFirstView(*round.replay);
        int checked = 0;
        for (const double at : {40.0, 120.0, 200.0}) {
            while (round.replay->Running() && round.replay->Session().ReplayTime() < at)
                round.replay->Tick();
            view.Draw(*round.replay, TViewOptions(), FrameFont());
            const auto [painted, living] = PaintedLiving(round.replay->Session(), view.Bitmap(), view.Zoom());
            ASSERT_GT(living, 4);
            // A marker may lie under another's; nearly all show.
            EXPECT_GE(painted * 100, living * 95) << painted << " of " << living << " at " << at;
            ++checked;
        }
        EXPECT_EQ(checked, 3);
        // The names are still the ones the Missing picture page lists.
        std::string missing;
        for (const std::string& name : round.replay->Map().MissingPictures())
            missing += name + " ";
        EXPECT_NE(missing.find(names == loggen::NameSet::Stock ? "German_" : "NVA_"), std::string::npos) << missing;
    }
}

TEST(MarkerKinds, AMarkerKeepsAPictureItHadAndAStandInGivesWayToTheNextKind)
{
    TRealNamesRound round(loggen::NameSet::Mod);
    TReplaySession& session = round.replay->Session();
    // Some player, a stand-in soldier, enters a vehicle of another kind; players die and live again.
    bool sawVehicle = false;
    while (round.replay->Running()) {
        round.replay->Tick();
        const TPlayerStateList& states = session.PlayerStates();
        for (int i = 0; i < states.Count(); ++i) {
            const TInfoClass& s = *states.State(i);
            if (s.LastEvent && s.LastEvent->EventName == "enterVehicle" && s.Image.StandIn && !s.Dead) {
                EXPECT_EQ(*s.Image.PictureName, StandInKey(VehicleKind(s.LastEvent->Vehicle))) << s.LastEvent->Vehicle;
                sawVehicle = true;
            }
            // A dead player shows the shipped death picture, not a stand-in; one who lives again
            // is no longer drawn as dead, though no picture shows their kit.
            if (s.Dead && s.Image.HasPicture())
                EXPECT_FALSE(s.Image.StandIn) << s.PlayerName;
            if (!s.Dead && s.Image.ShowsDeath)
                ADD_FAILURE() << s.PlayerName << " lives on as a death picture";
        }
    }
    EXPECT_TRUE(sawVehicle);
}
