#pragma once
// The box types. Type codes are stored in saved records, presets and host scenes: never
// renumber them. Everything else the pane knows about a type is in its line of the box
// registry (pane/boxregistry.h).

enum BoxType : int {
    TypeLandscape = 1,
    TypeRock = 2,
    TypeGrass = 3,
    TypeBush = 4,
    TypeTree = 5,
    TypeIvy = 6,
    TypeWeed = 7,
    TypeFlower = 8,
    TypeMushroom = 9,
    TypeCrystals = 10,
    TypeParticles = 11,
    TypeBillboard = 12,
    TypeStones = 13,
};
constexpr int kFirstType = TypeLandscape;
constexpr int kLastType = TypeStones;

constexpr int kMaxControlBoxes = 129;
