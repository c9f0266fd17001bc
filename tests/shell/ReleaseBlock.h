// The lines the release path writes when every manager exists, in order.
#pragma once
#include <string>
#include <vector>

inline const std::vector<std::string> kReleaseBlock = {
    "*****************************************************",
    "全てのマネージャー及びオブジェクトの開放を行います...",
    "Bullet Manager を開放しました",
    "DirectSound Manager を開放しました",
    "Sprite Manager を開放しました",
    "Particle Manager を開放しました",
    "BoardMesh Manager を開放しました",
    "Texture Manager を開放しました",
    "Direct3D Manager を開放しました",
    "DirectInput Manager を開放しました",
    "非同期 XML 読み込みを停止しました",
    "XML Manager を開放しました",
    "Network Manager を開放しました",
    "GameInfo Manager を開放しました",
    "Replay Manager を開放しました",
    "SystemInfo Manager を開放しました",
    "Frame Manager を開放しました",
    "Archive Manager を開放しました",
    "開放処理が終了しました",
};
