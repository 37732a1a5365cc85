// The nine texture pictures. Each is a function of the texture coordinates
// (u, v), v = 0 at the bottom; the character's pictures follow the layouts in
// character_art/art_layout.h so that the meshes find their parts.
#include "pictures.h"

#include <cmath>

#include "character_art/art_layout.h"

namespace paint {
namespace {

constexpr float kPi = 3.14159265f;

// ---------------------------------------------------------------------------
// Sun layers.

Colour Glow(float u, float v) {
    const float dx = u - 0.5f, dy = v - 0.5f;
    const float r = std::sqrt(dx * dx + dy * dy) * 2.0f; // 1 at the middle of an edge
    const float angle = std::atan2(dy, dx);
    const float core = std::exp(-std::pow(r / 0.13f, 2.0f));
    const float glow = std::exp(-r / 0.2f);
    const float rays =
        1.0f + 0.35f * std::pow(std::fabs(std::cos(6.0f * angle)), 8.0f) * std::exp(-r / 0.45f);
    const float fade = 1.0f - Smooth(0.75f, 0.98f, r);
    const float intensity = (core + 0.75f * glow * rays) * fade;
    const Colour white = Rgb(1.0f, 0.98f, 0.92f);
    const Colour warm = Rgb(1.0f, 0.78f, 0.42f);
    return Mix(warm, white, Clamp01(core * 1.2f)) * Clamp01(intensity);
}

Colour Halo(float u, float v) {
    const float dx = u - 0.5f, dy = v - 0.5f;
    const float r = std::sqrt(dx * dx + dy * dy) * 2.0f;
    const float ring = std::exp(-std::pow((r - 0.42f) / 0.2f, 2.0f));
    const float inner = 0.45f * std::exp(-std::pow(r / 0.35f, 2.0f));
    const float fade = 1.0f - Smooth(0.8f, 0.98f, r);
    const float intensity = (ring + inner) * fade;
    return Rgb(0.07f, 0.15f, 0.42f) * intensity;
}

// ---------------------------------------------------------------------------
// Sky: u repeats around the dome (the picture tiles left to right), v from
// the horizon (0) to the zenith (1).

Colour Sky(float u, float v) {
    const Colour horizon = Rgb(0.80f, 0.87f, 0.95f);
    const Colour middle = Rgb(0.45f, 0.64f, 0.90f);
    const Colour zenith = Rgb(0.17f, 0.35f, 0.74f);
    Colour sky = v < 0.35f ? Mix(horizon, middle, Smooth(0.0f, 0.35f, v))
                           : Mix(middle, zenith, Smooth(0.35f, 1.0f, v));
    // Clouds: heaps of noise, lit from above and darker underneath. The
    // dome stretches the picture wider than it is high, so the noise is
    // finer across.
    const float x = u * 6.0f;
    const float y = v * 4.0f;
    const float warp = Fbm(x * 0.5f, y * 0.5f, 3, 2, 71) - 0.5f;
    auto density = [&](float yy) {
        const float n = Fbm(x + warp * 0.5f, yy + warp * 0.5f, 6, 5, 11);
        return Smooth(0.52f, 0.72f, n);
    };
    const float amount = Smooth(0.9f, 0.55f, v) * Smooth(0.0f, 0.1f, v);
    const float cover = density(y) * amount;
    // Light from above: the cloud is brighter where the density grows
    // toward its top, darker where it thins upward (its underside).
    const float shade = Clamp01(0.5f + 3.0f * (density(y + 0.06f) - density(y - 0.06f)));
    const Colour lit = Rgb(1.0f, 1.0f, 0.98f);
    const Colour shadow = Rgb(0.62f, 0.67f, 0.78f);
    const Colour cloud = Mix(lit, shadow, shade * 0.85f);
    return Mix(sky, cloud, cover * 0.95f);
}

// ---------------------------------------------------------------------------
// Floors: tile in both directions.

Colour DryEarth(float u, float v) {
    // Warp the plates a little so the cracks wander.
    const float wu = u + 0.025f * (Fbm(u * 8.0f, v * 8.0f, 8, 3, 5) - 0.5f);
    const float wv = v + 0.025f * (Fbm(u * 8.0f, v * 8.0f, 8, 3, 9) - 0.5f);
    const Cells big = Voronoi(wu, wv, 9, 21);
    const Cells small = Voronoi(wu, wv, 22, 33);
    const float plate = Hash(big.id, 3, 41);
    Colour base = Mix(Rgb(0.66f, 0.52f, 0.36f), Rgb(0.78f, 0.64f, 0.45f), plate);
    const float grain = Fbm(u * 32.0f, v * 32.0f, 32, 3, 61);
    base = base * (0.88f + 0.2f * grain);
    // Plates curl up at their edges: lighter rims, darker middles.
    const float edge = big.second - big.nearest;
    base = base * (0.93f + 0.1f * Smooth(0.35f, 0.05f, edge));
    const float crack = 1.0f - Smooth(0.035f, 0.085f, edge);
    const float fine = (1.0f - Smooth(0.02f, 0.05f, small.second - small.nearest)) *
                       Smooth(0.35f, 0.75f, Fbm(u * 6.0f, v * 6.0f, 6, 2, 77));
    const Colour dark = Rgb(0.2f, 0.14f, 0.09f);
    base = Mix(base, dark * 1.6f, fine * 0.55f);
    return Mix(base, dark, crack);
}

Colour Lava(float u, float v) {
    const float wu = u + 0.05f * (Fbm(u * 4.0f, v * 4.0f, 4, 4, 15) - 0.5f);
    const float wv = v + 0.05f * (Fbm(u * 4.0f, v * 4.0f, 4, 4, 19) - 0.5f);
    const Cells cells = Voronoi(wu, wv, 6, 51);
    const float edge = cells.second - cells.nearest;
    const float flow = Fbm(u * 8.0f, v * 8.0f, 8, 4, 23);
    // Heat: high along the seams between crust plates, flaring with the flow.
    float heat = 1.0f - Smooth(0.02f, 0.22f + 0.12f * flow, edge);
    heat = Clamp01(heat + 0.35f * Smooth(0.62f, 0.8f, flow));
    const Colour crust = Mix(Rgb(0.09f, 0.05f, 0.05f), Rgb(0.22f, 0.12f, 0.09f),
                             Fbm(u * 24.0f, v * 24.0f, 24, 3, 29));
    Colour molten;
    if (heat < 0.5f)
        molten = Mix(Rgb(0.45f, 0.05f, 0.02f), Rgb(0.95f, 0.35f, 0.04f), heat / 0.5f);
    else
        molten = Mix(Rgb(0.95f, 0.35f, 0.04f), Rgb(1.0f, 0.9f, 0.45f), (heat - 0.5f) / 0.5f);
    return Mix(crust, molten, Smooth(0.05f, 0.35f, heat));
}

// ---------------------------------------------------------------------------
// Character body atlas.

struct Outfit {
    Colour tunic, tunicDark, trim, trousers, leather, leatherDark, skin, sole, belt, buckle;
    bool ninja;
};

const Outfit kHero = {Rgb(0.66f, 0.13f, 0.12f),
                      Rgb(0.42f, 0.07f, 0.07f),
                      Rgb(0.90f, 0.70f, 0.25f),
                      Rgb(0.24f, 0.27f, 0.34f),
                      Rgb(0.50f, 0.31f, 0.15f),
                      Rgb(0.30f, 0.17f, 0.08f),
                      Rgb(0.89f, 0.68f, 0.54f),
                      Rgb(0.14f, 0.10f, 0.07f),
                      Rgb(0.36f, 0.21f, 0.10f),
                      Rgb(0.92f, 0.76f, 0.32f),
                      false};

const Outfit kNinja = {Rgb(0.16f, 0.16f, 0.19f),
                       Rgb(0.07f, 0.07f, 0.09f),
                       Rgb(0.42f, 0.43f, 0.47f),
                       Rgb(0.14f, 0.14f, 0.17f),
                       Rgb(0.30f, 0.30f, 0.33f),
                       Rgb(0.12f, 0.12f, 0.14f),
                       Rgb(0.10f, 0.10f, 0.12f),
                       Rgb(0.05f, 0.05f, 0.06f),
                       Rgb(0.62f, 0.08f, 0.08f),
                       Rgb(0.75f, 0.12f, 0.10f),
                       true};

bool Inside(const art::Region& r, float u, float v) {
    return u >= r.u0 - art::kPad && u <= r.u1 + art::kPad && v >= r.v0 - art::kPad &&
           v <= r.v1 + art::kPad;
}
// Position inside a region, 0..1 each (clamped so the padding repeats the edge).
float Su(const art::Region& r, float u) {
    return Clamp01((u - r.u0) / (r.u1 - r.u0));
}
float Sv(const art::Region& r, float v) {
    return Clamp01((v - r.v0) / (r.v1 - r.v0));
}

// Woven cloth: a fine grain with soft folds running along t.
Colour Cloth(Colour c, float s, float t, int seed, float folds) {
    const float grain = Fbm(s * 48.0f, t * 48.0f, 64, 2, seed);
    const float fold = Fbm(s * 6.0f, t * 1.5f, 8, 3, seed + 5);
    return c * (0.9f + 0.16f * grain) * (1.0f - folds * (0.3f * Smooth(0.35f, 0.75f, fold)));
}

// A line of small stitches at t = centre.
float Stitches(float s, float t, float centre, float count) {
    const float along = std::fmod(s * count, 1.0f);
    return Band(t, centre, 0.004f, 0.004f) * Band(along, 0.5f, 0.25f, 0.08f);
}

Colour Trim(const Outfit& o, float s, float t, float low, float high) {
    const float m = (t - low) / (high - low); // 0..1 across the band
    Colour c = o.trim * (0.85f + 0.25f * std::sin(m * kPi));
    // A row of small diamonds along the trim.
    const float d = std::fabs(std::fmod(s * 24.0f, 1.0f) - 0.5f) + std::fabs(m - 0.5f) * 0.8f;
    if (!o.ninja)
        c = Mix(c, o.tunicDark, Band(d, 0.0f, 0.16f, 0.05f) * 0.7f);
    return Mix(c, o.trim * 0.55f, Smooth(0.8f, 1.0f, std::fabs(m - 0.5f) * 2.0f));
}

Colour Torso(const Outfit& o, float s, float t) {
    // s around (0 back, 0.5 front), t from crotch (0) to neck (1).
    const float front = Band(s, 0.5f, 0.0f, 0.25f); // 1 at the front
    Colour c = Cloth(o.tunic, s, t, 101, 1.0f);
    // Side seams and a little shading under the arms.
    c = c * (1.0f - 0.25f * (Band(s, 0.25f, 0.004f, 0.01f) + Band(s, 0.75f, 0.004f, 0.01f)));
    c = c * (1.0f - 0.15f * Smooth(0.6f, 0.8f, t) * (1.0f - front) *
                        (Band(s, 0.25f, 0.05f, 0.08f) + Band(s, 0.75f, 0.05f, 0.08f)));
    if (o.ninja) {
        // Crossed wrap over the chest.
        const float wrap = std::fabs(std::fabs(s - 0.5f) - (t - 0.45f) * 0.35f);
        c = Mix(c, o.tunicDark, Band(wrap, 0.0f, 0.012f, 0.01f) * Smooth(0.45f, 0.5f, t));
    } else {
        // Emblem: a gold diamond on the chest.
        const float ex = std::fabs(s - 0.5f) * 4.0f, ey = std::fabs(t - 0.7f) * 2.6f;
        const float diamond = ex + ey;
        c = Mix(c, o.trim, Band(diamond, 0.0f, 0.12f, 0.02f));
        c = Mix(c, o.tunicDark, Band(diamond, 0.0f, 0.05f, 0.015f));
        c = Mix(c, o.trim * 0.8f, Band(diamond, 0.17f, 0.012f, 0.01f));
    }
    // Tunic hem and the trousers below it.
    c = Mix(c, Trim(o, s, t, art::kTorsoHem, art::kTorsoHem + 0.04f),
            Band(t, art::kTorsoHem + 0.02f, 0.02f, 0.004f));
    c = Mix(c, Cloth(o.trousers, s, t, 141, 0.6f),
            Smooth(art::kTorsoHem + 0.004f, art::kTorsoHem, t));
    // Belt with a buckle (or a knotted sash) at the front.
    const float beltMid = 0.5f * (art::kTorsoBeltLow + art::kTorsoBeltHigh);
    const float beltHalf = 0.5f * (art::kTorsoBeltHigh - art::kTorsoBeltLow);
    const float belt = Band(t, beltMid, beltHalf, 0.004f);
    Colour beltColour = Cloth(o.belt, s * 2.0f, t, 151, 0.3f);
    beltColour = Mix(beltColour, o.belt * 1.5f, Stitches(s, t, art::kTorsoBeltLow + 0.012f, 90.0f));
    beltColour =
        Mix(beltColour, o.belt * 1.5f, Stitches(s, t, art::kTorsoBeltHigh - 0.012f, 90.0f));
    beltColour =
        beltColour * (1.0f - 0.35f * Smooth(beltHalf * 0.7f, beltHalf, std::fabs(t - beltMid)));
    c = Mix(c, beltColour, belt);
    const float bx = std::fabs(s - 0.5f), by = std::fabs(t - beltMid);
    if (o.ninja) {
        const float knot = Band(bx, 0.0f, 0.03f, 0.006f) * Band(by, 0.0f, beltHalf * 1.2f, 0.005f);
        c = Mix(c, o.buckle * 0.8f, knot);
        const float tail = Band(s, 0.53f + (beltMid - t) * 0.2f, 0.012f, 0.004f) *
                           Smooth(beltMid, beltMid - 0.02f, t) * Smooth(0.1f, 0.16f, t);
        c = Mix(c, o.belt, tail);
    } else {
        const float frame =
            Band(bx, 0.0f, 0.045f, 0.004f) * Band(by, 0.0f, beltHalf * 1.25f, 0.004f);
        const float hole = Band(bx, 0.0f, 0.028f, 0.004f) * Band(by, 0.0f, beltHalf * 0.6f, 0.004f);
        c = Mix(c, o.buckle * (0.9f + 0.3f * (1.0f - by / beltHalf)), frame * (1.0f - hole));
    }
    return c;
}

Colour Leg(const Outfit& o, float s, float t) {
    // s around (0.5 front), t from ankle (0) to hip (1).
    Colour c = Cloth(o.trousers, s, t * 2.0f, 161, 0.8f);
    // Knee creases at the front.
    const float knee = Band(t, 0.52f, 0.06f, 0.04f) * Band(s, 0.5f, 0.12f, 0.08f);
    c = c * (1.0f - 0.18f * knee * Smooth(0.3f, 0.8f, std::fabs(std::sin(t * 160.0f))));
    // Tunic over the thighs.
    c = Mix(c, Cloth(o.tunic, s, t, 101, 1.0f),
            Smooth(art::kLegTunicHem - 0.005f, art::kLegTunicHem, t));
    c = Mix(c, Trim(o, s, t, art::kLegTunicHem, art::kLegTunicHem + 0.03f),
            Band(t, art::kLegTunicHem + 0.015f, 0.015f, 0.004f));
    // Boots (or wrapped shins) from the ankle up.
    const float boot = Smooth(art::kLegBootTop, art::kLegBootTop - 0.006f, t);
    Colour bootColour;
    if (o.ninja) {
        const float wrap = std::fabs(std::fmod(t * 22.0f + s * 2.0f, 1.0f) - 0.5f);
        bootColour = Mix(o.leather, o.leatherDark, Smooth(0.3f, 0.45f, wrap));
    } else {
        bootColour = Cloth(o.leather, s, t * 3.0f, 171, 0.5f);
        // Folded cuff at the top, with stitches under it.
        const float cuff = Band(t, art::kLegBootTop - 0.03f, 0.03f, 0.004f);
        bootColour = Mix(bootColour, o.leatherDark * 1.3f, cuff);
        bootColour =
            Mix(bootColour, o.leather * 1.35f, Stitches(s, t, art::kLegBootTop - 0.075f, 60.0f));
        // Laces up the front.
        const float lace = Band(s, 0.5f, 0.02f, 0.006f) * Smooth(art::kLegBootTop - 0.07f, 0.0f, t);
        const float cross = Band(std::fabs(std::fmod(t * 30.0f, 1.0f) - 0.5f), 0.0f,
                                 0.12f + 4.0f * std::fabs(s - 0.5f), 0.06f);
        bootColour = Mix(bootColour, o.leatherDark * 0.8f, lace * cross);
    }
    return Mix(c, bootColour, boot);
}

Colour Arm(const Outfit& o, float s, float t) {
    // s around, t from wrist (0) to shoulder (1).
    Colour c = Cloth(o.tunic, s, t, 181, 1.0f);
    if (o.ninja) {
        // Long sleeves to the wrist with wraps on the forearm.
        const float wrap = std::fabs(std::fmod(t * 20.0f - s * 2.0f, 1.0f) - 0.5f);
        const Colour wraps = Mix(o.leather, o.leatherDark, Smooth(0.3f, 0.45f, wrap));
        return Mix(c, wraps, Smooth(art::kArmBracerTop + 0.01f, art::kArmBracerTop, t));
    }
    // Sleeve hem, bare forearm skin, leather bracer at the wrist.
    c = Mix(c, Trim(o, s, t, art::kArmSleeveEnd, art::kArmSleeveEnd + 0.04f),
            Band(t, art::kArmSleeveEnd + 0.02f, 0.02f, 0.004f));
    const Colour skin = o.skin * (0.95f + 0.06f * Fbm(s * 10.0f, t * 10.0f, 16, 2, 191));
    c = Mix(c, skin, Smooth(art::kArmSleeveEnd + 0.004f, art::kArmSleeveEnd, t));
    Colour bracer = Cloth(o.leather, s, t * 2.0f, 193, 0.4f);
    const float lace = Band(s, 0.5f, 0.022f, 0.006f);
    const float cross = Band(std::fabs(std::fmod(t * 40.0f, 1.0f) - 0.5f), 0.0f,
                             0.1f + 4.0f * std::fabs(s - 0.5f), 0.06f);
    bracer = Mix(bracer, o.leatherDark, lace * cross);
    bracer = Mix(bracer, o.leatherDark, Band(t, art::kArmBracerTop - 0.01f, 0.01f, 0.004f));
    bracer = Mix(bracer, o.leatherDark, Band(t, 0.015f, 0.015f, 0.004f));
    return Mix(c, bracer, Smooth(art::kArmBracerTop, art::kArmBracerTop - 0.006f, t));
}

Colour Foot(const Outfit& o, float s, float t) {
    // s around the foot (the sole from 5/6 to 1), t from heel (0) to toe (1).
    Colour c = Cloth(o.leather, s, t, 201, 0.3f);
    // Toe cap and heel a shade darker; a welt line above the sole.
    c = c * (1.0f - 0.15f * Smooth(0.75f, 0.85f, t) - 0.1f * Smooth(0.15f, 0.05f, t));
    if (o.ninja) {
        // Split toe of the tabi.
        c = Mix(c, o.leatherDark, Band(s, 0.42f, 0.008f, 0.006f) * Smooth(0.8f, 0.9f, t));
    } else {
        const float laces = Band(s, 0.42f, 0.035f, 0.01f) * Band(t, 0.35f, 0.15f, 0.02f);
        const float cross = Band(std::fabs(std::fmod(t * 22.0f, 1.0f) - 0.5f), 0.0f,
                                 0.1f + 3.0f * std::fabs(s - 0.42f), 0.06f);
        c = Mix(c, o.leatherDark, laces * cross);
    }
    const float sole = Smooth(0.8f, 0.83f, s) + Smooth(0.02f, 0.0f, s);
    c = Mix(c, o.leatherDark, Band(s, 0.79f, 0.012f, 0.006f));
    return Mix(c, o.sole, Clamp01(sole));
}

Colour Hand(const Outfit& o, float s, float t) {
    // s around (0.5 the back of the hand's thumb side), t from wrist to fingertips.
    Colour c = o.skin * (0.96f + 0.06f * Fbm(s * 12.0f, t * 12.0f, 16, 2, 211));
    if (o.ninja)
        c = Cloth(o.leatherDark, s, t, 213, 0.3f);
    // Knuckles and the gaps between the fingers.
    const float fingers = Smooth(0.55f, 0.62f, t);
    const float gaps = Band(std::fmod(s * 8.0f, 1.0f), 0.5f, 0.04f, 0.05f);
    c = c * (1.0f - 0.28f * fingers * gaps);
    c = c * (1.0f - 0.12f * Band(t, 0.56f, 0.02f, 0.03f));
    if (!o.ninja)
        c = Mix(c, o.leatherDark, Smooth(0.1f, 0.06f, t)); // bracer edge at the wrist
    return c;
}

Colour Neck(const Outfit& o, float s, float t) {
    // t from the base (inside the torso) to the top (inside the head). The
    // tunic's collar rings the base of the neck.
    if (o.ninja)
        return Cloth(o.tunicDark, s, t, 221, 0.5f);
    Colour c = o.skin * (0.86f + 0.1f * t);
    c = Mix(c, Cloth(o.tunic, s, t, 223, 0.5f), Smooth(0.46f, 0.44f, t));
    return Mix(c, Trim(o, s, t, 0.36f, 0.46f), Band(t, 0.41f, 0.05f, 0.01f));
}

Colour BodyAtlas(const Outfit& o, float u, float v) {
    using namespace art;
    if (Inside(kTorso, u, v))
        return Torso(o, Su(kTorso, u), Sv(kTorso, v));
    if (Inside(kLeg, u, v))
        return Leg(o, Su(kLeg, u), Sv(kLeg, v));
    if (Inside(kArm, u, v))
        return Arm(o, Su(kArm, u), Sv(kArm, v));
    if (Inside(kFoot, u, v))
        return Foot(o, Su(kFoot, u), Sv(kFoot, v));
    if (Inside(kHand, u, v))
        return Hand(o, Su(kHand, u), Sv(kHand, v));
    if (Inside(kNeck, u, v))
        return Neck(o, Su(kNeck, u), Sv(kNeck, v));
    // Unused space: plain cloth.
    return Cloth(o.tunicDark, u, v, 231, 0.5f);
}

// ---------------------------------------------------------------------------
// Head: painted by longitude and latitude (degrees) on the head.

// Soft ellipse: 1 inside (x/rx)^2 + (y/ry)^2 < 1, fading over soft.
float Ellipse(float x, float y, float rx, float ry, float soft) {
    const float d = std::sqrt((x / rx) * (x / rx) + (y / ry) * (y / ry));
    return 1.0f - Smooth(1.0f - soft, 1.0f + soft, d);
}

Colour Eye(Colour c, float lon, float lat, float side) {
    // Eye centre; lon measured outward from the nose.
    const float x = (lon - side * 16.5f) * side / 1.15f, y = (lat - 1.5f) / 1.15f;
    // Almond: the upper lid arches more than the lower.
    const float upper = 2.9f * (1.0f - std::pow(std::fabs(x) / 6.6f, 2.0f));
    const float lower = -1.9f * (1.0f - std::pow(std::fabs(x) / 6.6f, 2.0f));
    const float inside = Smooth(-0.35f, 0.35f, upper - y) * Smooth(-0.35f, 0.35f, y - lower) *
                         (1.0f - Smooth(6.2f, 6.8f, std::fabs(x)));
    const Colour white = Rgb(0.95f, 0.93f, 0.9f);
    Colour eye = white;
    const float ix = x - 0.3f, iy = y - 0.25f;
    const float ir = std::sqrt(ix * ix + iy * iy);
    const Colour iris =
        Mix(Rgb(0.18f, 0.42f, 0.50f), Rgb(0.08f, 0.2f, 0.26f), Smooth(1.3f, 2.5f, ir));
    eye = Mix(eye, iris, 1.0f - Smooth(2.35f, 2.7f, ir));
    eye = Mix(eye, Rgb(0.03f, 0.03f, 0.04f), 1.0f - Smooth(0.9f, 1.2f, ir));
    eye = Mix(eye, Rgb(1.0f, 1.0f, 1.0f), Ellipse(ix + 0.7f * side, iy - 0.8f, 0.5f, 0.5f, 0.3f));
    // Shadow of the upper lid on the eye.
    eye = eye * (1.0f - 0.25f * Smooth(upper - 1.2f, upper, y));
    c = Mix(c, eye, inside);
    // Lash line along the upper lid, thicker and flicked at the outer corner.
    const float lashWidth = 0.45f + 0.35f * Smooth(0.0f, 6.0f, x);
    const float lash =
        Band(y - upper, 0.25f, lashWidth, 0.25f) * (1.0f - Smooth(6.4f, 7.6f, std::fabs(x)));
    c = Mix(c, Rgb(0.1f, 0.06f, 0.05f), lash);
    // Crease above and a faint lower lid.
    c = c * (1.0f -
             0.12f * Band(y - upper, 1.7f, 0.3f, 0.3f) * (1.0f - Smooth(5.0f, 6.5f, std::fabs(x))));
    c = c * (1.0f - 0.15f * Band(y - lower, -0.2f, 0.2f, 0.25f) *
                        (1.0f - Smooth(5.5f, 6.5f, std::fabs(x))));
    return c;
}

Colour Head(float u, float v) {
    const float lon = art::HeadLon(u), lat = art::HeadLat(v);
    const Colour skinBase = Rgb(0.90f, 0.69f, 0.55f);
    Colour c = skinBase * (0.96f + 0.06f * Fbm(u * 16.0f, v * 16.0f, 16, 2, 301));
    const float alon = std::fabs(lon);
    // Shading: cheeks warmer, under the jaw and the neck darker, temples cooler.
    c = Mix(c, Rgb(0.92f, 0.58f, 0.50f),
            0.35f * Ellipse(alon - 20.0f, lat + 14.0f, 9.0f, 7.0f, 0.6f));
    c = c * (1.0f - 0.18f * Smooth(-38.0f, -55.0f, lat));
    // Ears.
    const float ear = Ellipse(alon - 92.0f, lat + 4.0f, 9.0f, 12.0f, 0.3f);
    c = Mix(c, c * 0.8f, ear * (1.0f - Ellipse(alon - 94.0f, lat + 4.0f, 5.0f, 8.0f, 0.4f)));
    // Nose: a shadow down its sides and darker nostrils.
    c = Mix(c, Rgb(0.62f, 0.40f, 0.33f),
            0.5f * Ellipse(alon - 2.5f, lat + 16.0f, 1.6f, 0.9f, 0.5f));
    // Mouth.
    const float mx = lon, my = lat + 25.0f - 0.012f * lon * lon; // a slight smile
    const float upperLip = Ellipse(mx, my - 0.9f, 8.0f, 1.1f, 0.35f);
    const float lowerLip = Ellipse(mx, my + 1.3f, 7.0f, 1.6f, 0.35f);
    c = Mix(c, Rgb(0.72f, 0.40f, 0.36f), upperLip * 0.8f);
    c = Mix(c, Rgb(0.80f, 0.48f, 0.43f), lowerLip * 0.75f);
    c = Mix(c, Rgb(0.38f, 0.16f, 0.14f),
            Band(my, 0.1f, 0.3f, 0.35f) * (1.0f - Smooth(7.0f, 9.0f, std::fabs(mx))));
    c = c * (1.0f - 0.12f * Ellipse(mx, my + 4.5f, 6.0f, 1.5f, 0.8f)); // shadow under the lip
    // Eyes and brows.
    c = Eye(c, lon, lat, 1.0f);
    c = Eye(c, lon, lat, -1.0f);
    const Colour hairColour = Rgb(0.25f, 0.15f, 0.09f);
    for (float side : {-1.0f, 1.0f}) {
        const float x = (lon - side * 17.0f) * side;
        const float browLat = 9.2f + 1.6f * (1.0f - (x / 8.0f) * (x / 8.0f)) - 0.15f * x;
        const float brow = Band(lat, browLat, 0.9f - 0.04f * x, 0.4f) *
                           (1.0f - Smooth(6.5f, 8.5f, std::fabs(x + 0.5f)));
        c = Mix(c, hairColour * 0.8f, brow * 0.95f);
    }
    // Hair: above the hairline, with a jagged fringe over the forehead and
    // strands running from the crown.
    const float tri = std::fabs(std::fmod(std::fabs(lon) / 8.0f + 0.5f, 1.0f) - 0.5f) * 2.0f;
    const float fringe = Smooth(40.0f, 20.0f, alon) * (4.5f * tri - 1.0f);
    const float hairline = art::HairlineLat(lon) - fringe;
    const float hair = Smooth(hairline - 0.8f, hairline + 0.8f, lat);
    const float strands = Fbm(lon / 360.0f * 64.0f, lat / 180.0f * 6.0f, 64, 3, 311);
    const float sheen =
        Band(lat, 52.0f, 10.0f, 10.0f) * (0.5f + 0.5f * std::cos(lon * kPi / 60.0f));
    Colour hairPaint = hairColour * (0.7f + 0.6f * strands);
    hairPaint = Mix(hairPaint, Rgb(0.5f, 0.34f, 0.2f), sheen * 0.45f * strands);
    c = c *
        (1.0f - 0.25f * Smooth(hairline - 4.0f, hairline, lat) * (1.0f - hair)); // hair's shadow
    return Mix(c, hairPaint, hair);
}

// ---------------------------------------------------------------------------
// Sword: a picture of the sword point up on dark cloth.

Colour Sword(float u, float v) {
    using namespace art;
    const float vignette = 1.0f - 0.5f * ((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f));
    Colour c = Cloth(Rgb(0.13f, 0.14f, 0.19f), u, v, 401, 0.6f) * vignette;
    // Blade: full width up to the point, then tapering to it.
    if (v >= kBlade.v0 - 0.01f && v <= kBlade.v1 + 0.01f) {
        const float t = Sv(kBlade, v);
        const float halfWidth =
            t < kBladeTipStart ? 0.5f : 0.5f * (1.0f - t) / (1.0f - kBladeTipStart);
        const float x = (u - 0.5f * (kBlade.u0 + kBlade.u1)) / (kBlade.u1 - kBlade.u0); // -0.5..0.5
        const float inside = 1.0f - Smooth(halfWidth - 0.02f, halfWidth + 0.005f, std::fabs(x));
        const float across =
            std::fabs(x) / (halfWidth > 0.0f ? halfWidth : 1.0f); // 0 middle, 1 edge
        Colour steel = Mix(Rgb(0.62f, 0.66f, 0.72f), Rgb(0.86f, 0.89f, 0.93f),
                           0.5f + 0.5f * std::sin(t * 9.0f + 1.0f));
        steel = steel * (0.94f + 0.08f * Fbm(u * 64.0f, v * 8.0f, 64, 2, 411));
        // Bevels bright toward the edges, a dark fuller down the middle.
        steel = Mix(steel, Rgb(0.95f, 0.97f, 1.0f), Smooth(0.7f, 0.95f, across) * 0.8f);
        steel = Mix(steel, Rgb(0.38f, 0.41f, 0.47f),
                    Band(across, 0.0f, 0.1f, 0.08f) * Smooth(0.78f, 0.7f, t));
        c = Mix(c, steel, inside * Smooth(kBlade.v0 - 0.005f, kBlade.v0, v));
    }
    // Guard: a gold bar with rounded ends.
    {
        const float s = Su(kGuard, u), t = Sv(kGuard, v);
        const float across = std::fabs(t - 0.5f) * 2.0f;
        const float end = std::fabs(s - 0.5f) * 2.0f;
        const float inside =
            Ellipse(std::max(end - 0.9f, 0.0f) * 8.0f, across, 1.0f, 1.0f, 0.08f) *
            Band(u, 0.5f * (kGuard.u0 + kGuard.u1), 0.5f * (kGuard.u1 - kGuard.u0), 0.004f) *
            Band(v, 0.5f * (kGuard.v0 + kGuard.v1), 0.5f * (kGuard.v1 - kGuard.v0), 0.003f);
        Colour gold =
            Mix(Rgb(0.95f, 0.80f, 0.38f), Rgb(0.55f, 0.38f, 0.12f), Smooth(0.2f, 1.0f, across));
        gold = Mix(gold, Rgb(0.45f, 0.3f, 0.1f), Band(end, 0.6f, 0.02f, 0.02f));
        c = Mix(c, gold, inside);
    }
    // Grip: dark leather wound around it.
    {
        const float s = Su(kGrip, u), t = Sv(kGrip, v);
        const float inside =
            Band(u, 0.5f * (kGrip.u0 + kGrip.u1), 0.5f * (kGrip.u1 - kGrip.u0), 0.004f) *
            Band(v, 0.5f * (kGrip.v0 + kGrip.v1), 0.5f * (kGrip.v1 - kGrip.v0), 0.004f);
        const float wind = std::fabs(std::fmod(t * 9.0f + s * 1.0f, 1.0f) - 0.5f) * 2.0f;
        Colour leather =
            Mix(Rgb(0.36f, 0.2f, 0.1f), Rgb(0.16f, 0.08f, 0.04f), Smooth(0.6f, 0.95f, wind));
        leather = leather * (0.8f + 0.35f * std::sin(s * kPi));
        c = Mix(c, leather, inside);
    }
    // Pommel: a gold knob with a red stone.
    {
        const float cx = 0.5f * (kPommel.u0 + kPommel.u1), cy = 0.5f * (kPommel.v0 + kPommel.v1);
        const float rx = 0.5f * (kPommel.u1 - kPommel.u0), ry = 0.5f * (kPommel.v1 - kPommel.v0);
        const float d =
            std::sqrt(((u - cx) / rx) * ((u - cx) / rx) + ((v - cy) / ry) * ((v - cy) / ry));
        Colour gold = Mix(Rgb(0.98f, 0.85f, 0.45f), Rgb(0.5f, 0.34f, 0.1f), Smooth(0.2f, 1.0f, d));
        gold = Mix(gold, Rgb(0.7f, 0.05f, 0.08f), 1.0f - Smooth(0.3f, 0.38f, d));
        gold = Mix(gold, Rgb(1.0f, 0.6f, 0.6f),
                   Ellipse(u - cx + 0.01f, v - cy - 0.01f, 0.006f, 0.006f, 0.5f));
        c = Mix(c, gold, 1.0f - Smooth(0.95f, 1.02f, d));
    }
    return c;
}

} // namespace

bool PaintTexture(int id, Picture& picture, bool& reserveBlack) {
    reserveBlack = false;
    switch (id) {
    case 108:
        Fill(picture, Glow, 2);
        reserveBlack = true;
        return true;
    case 109:
        Fill(picture, Sky, 2);
        return true;
    case 111:
        Fill(
            picture, [](float u, float v) { return BodyAtlas(kHero, u, v); }, 3);
        return true;
    case 114:
        Fill(picture, DryEarth, 2);
        return true;
    case 115:
        Fill(picture, Sword, 3);
        return true;
    case 117:
        Fill(picture, Lava, 2);
        return true;
    case 120:
        Fill(
            picture, [](float u, float v) { return BodyAtlas(kNinja, u, v); }, 3);
        return true;
    case 121:
        Fill(picture, Halo, 2);
        reserveBlack = true;
        return true;
    case 122:
        Fill(picture, Head, 3);
        return true;
    default:
        return false;
    }
}

} // namespace paint
