// The vanish margins the image commands give the running object from an
// image's width and height, by the object's edge mode.
#pragma once

class BulletObject;

// How edge mode 3 (reflect) is treated: by the reflect option's bits ("img",
// "imgdirection"), or like vanish (the other commands).
enum class ReflectMargins { ByOption, AsVanish };

// The margins by the table, w and h as given.
void applyMarginTable(BulletObject& object, float w, float h, ReflectMargins reflect);
// The square rule first: an image drawn turned (image direction "sync" or
// "syncedge", or a first hit shape of those types) takes the larger side for
// both, so that it stays inside its margins whichever way it points.
void applyImageMargins(BulletObject& object, float w, float h, ReflectMargins reflect);
