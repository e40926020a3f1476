// Loads a .glb with three.js's GLTFLoader under Node and reports morph targets and the animation.
import fs from 'fs';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { MeshoptDecoder } from 'three/examples/jsm/libs/meshopt_decoder.module.js';
globalThis.self = globalThis;
const file = process.argv[2];
const data = fs.readFileSync(file);
const ab = data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength);
const loader = new GLTFLoader();
loader.setMeshoptDecoder(MeshoptDecoder);
const origErr = console.error; let texErrors = 0;
console.error = (...a) => { if (String(a[0]).includes('texture')) texErrors++; else origErr(...a); };
loader.parse(ab, '', (gltf) => {
  let meshes = 0, morphMeshes = 0, targets = 0, maxTargets = 0, verts = 0;
  gltf.scene.traverse((o) => {
    if (!o.isMesh) return;
    meshes++; verts += o.geometry.attributes.position.count;
    const n = (o.geometry.morphAttributes.position || []).length;
    if (n) { morphMeshes++; targets += n; maxTargets = Math.max(maxTargets, n); }
  });
  console.log(`meshes ${meshes}, vertices ${verts}, meshes with morph targets ${morphMeshes}, morph targets ${targets} (at most ${maxTargets} per mesh)`);
  for (const clip of gltf.animations) {
    let tmin = Infinity, tmax = -Infinity;
    for (const t of clip.tracks) { tmin = Math.min(tmin, t.times[0]); tmax = Math.max(tmax, t.times[t.times.length - 1]); }
    console.log(`animation "${clip.name}": ${clip.tracks.length} tracks, duration ${clip.duration.toFixed(4)} s, keys from ${tmin.toFixed(4)} to ${tmax.toFixed(4)} s`);
  }
  if (texErrors) console.log(`(${texErrors} texture images not decoded: Node has no image decoder)`);
}, (e) => { origErr('load failed:', e); process.exit(1); });
