// Stand-ins for the project's three callable functions, run by the Functions emulator, plus one
// steering function. Tests and the stand-in browser steer the answers through files in the
// "state" folder beside the folder of this file (each emulator run has its own copy of this
// folder; the state lives outside it because the emulator reloads the functions whenever a file
// in their folder changes):
//   state/pairing/<uuid>.json  {"answers": [...], "uid", "email", "displayName"}
//     each claim takes the next answer ("not-found" 404, "already-exists" 409, "invalid-argument"
//     400, "permission-denied" 403, "empty" a result without a token, "token" a custom token minted
//     by the Auth emulator); the last answer repeats. No file: "not-found".
//   state/credits/<workspaceId>.json  {"freeRemaining", "couponRemaining", "paidRemaining", "refuse",
//     "loseAnswers"}: a charge takes its seconds times its language count from the pots in that
//     order, once per idempotency key; while "loseAnswers" is above 0 a new charge is applied and
//     then answered with an internal error (its answer lost), counting it down.
//   state/translate.json  {"refuse"}
// Every call is appended to state/calls.jsonl as {"name", "data", "uid"}.
const fs = require("fs");
const path = require("path");
const { onCall, HttpsError } = require("firebase-functions/v2/https");
const { setGlobalOptions } = require("firebase-functions/v2");
const admin = require("firebase-admin");

admin.initializeApp();
setGlobalOptions({ region: process.env.SAYLOOM_FUNCTIONS_REGION || "asia-northeast3" });

const state = path.join(__dirname, "..", "state");

function readJson(file, fallback) {
  try {
    return JSON.parse(fs.readFileSync(path.join(state, file), "utf8"));
  } catch {
    return fallback;
  }
}

function writeJson(file, value) {
  const target = path.join(state, file);
  fs.mkdirSync(path.dirname(target), { recursive: true });
  fs.writeFileSync(target + ".tmp", JSON.stringify(value));
  fs.renameSync(target + ".tmp", target);
}

function record(name, request) {
  fs.mkdirSync(state, { recursive: true });
  const line = JSON.stringify({ name, data: request.data, uid: request.auth ? request.auth.uid : null });
  fs.appendFileSync(path.join(state, "calls.jsonl"), line + "\n");
}

function safeName(text) {
  return String(text).replace(/[^A-Za-z0-9_-]/g, "_");
}

async function ensureUser(uid, email, displayName) {
  try {
    await admin.auth().getUser(uid);
  } catch {
    const user = { uid };
    if (email) user.email = email;
    if (displayName) user.displayName = displayName;
    await admin.auth().createUser(user);
  }
}

exports.claimDesktopPairing = onCall(async (request) => {
  record("claimDesktopPairing", request);
  const file = `pairing/${safeName(request.data && request.data.uuid)}.json`;
  const pairing = readJson(file, { answers: ["not-found"] });
  const answers = pairing.answers && pairing.answers.length ? pairing.answers : ["not-found"];
  const answer = answers[0];
  if (answers.length > 1) {
    writeJson(file, { ...pairing, answers: answers.slice(1) });
  }
  if (answer === "empty") {
    return {};
  }
  if (answer === "token") {
    const uid = pairing.uid || "desktop-tester";
    await ensureUser(uid, pairing.email, pairing.displayName);
    return { customToken: await admin.auth().createCustomToken(uid) };
  }
  throw new HttpsError(answer, "pairing: " + answer);
});

// Test-only: sets the answers of a pairing (see above).
exports.steerDesktopPairing = onCall(async (request) => {
  record("steerDesktopPairing", request);
  const { uuid, ...pairing } = request.data || {};
  writeJson(`pairing/${safeName(uuid)}.json`, pairing);
  return { ok: true };
});

exports.consumeCredits = onCall(async (request) => {
  record("consumeCredits", request);
  if (!request.auth) {
    throw new HttpsError("unauthenticated", "sign in first");
  }
  const data = request.data || {};
  const file = `credits/${safeName(data.workspaceId)}.json`;
  const account = readJson(file, { freeRemaining: 0, couponRemaining: 0, paidRemaining: 0 });
  if (account.refuse) {
    throw new HttpsError(account.refuse, "consumeCredits refused");
  }
  const balance = () => ({
    freeRemaining: account.freeRemaining || 0,
    couponRemaining: account.couponRemaining || 0,
    paidRemaining: account.paidRemaining || 0,
  });
  const seconds = Number(data.seconds) || 0;
  if (seconds <= 0) {
    return { balance: balance() };
  }
  // One charge per idempotency key: a repeated key gets the first answer again.
  account.charges = account.charges || {};
  if (account.charges[data.idempotencyKey] === undefined) {
    let due = seconds * Math.max(1, Number(data.languageCount) || 1);
    for (const pot of ["freeRemaining", "couponRemaining", "paidRemaining"]) {
      const taken = Math.min(due, account[pot] || 0);
      account[pot] = (account[pot] || 0) - taken;
      due -= taken;
    }
    account.charges[data.idempotencyKey] = due;
    const lose = (account.loseAnswers || 0) > 0;
    if (lose) {
      account.loseAnswers -= 1;
    }
    writeJson(file, account);
    if (lose) {
      // The charge is applied, and its answer never reaches the desktop.
      throw new Error("connection lost after the charge");
    }
  }
  return { shortfall: account.charges[data.idempotencyKey], balance: balance() };
});

exports.translate = onCall(async (request) => {
  record("translate", request);
  if (!request.auth) {
    throw new HttpsError("unauthenticated", "sign in first");
  }
  const steer = readJson("translate.json", {});
  if (steer.refuse) {
    throw new HttpsError(steer.refuse, "translate refused");
  }
  const data = request.data || {};
  return { translatedText: `[${data.targetLanguage}] ${data.text}` };
});
