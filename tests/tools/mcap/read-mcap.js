// Reads an MCAP file with the reference indexed reader (chunk and message indexes, statistics,
// summary) and decodes its ROS 2 messages with the reference CDR reader; prints what they found
// as one JSON object. Messages of other encodings keep their bytes.
// usage: node read-mcap.js FILE [START_NS END_NS]   (only the messages in that time range)
"use strict";

const fs = require("node:fs/promises");
const { McapIndexedReader } = require("@mcap/core");
const { loadDecompressHandlers } = require("@mcap/support");
const { parse } = require("@foxglove/rosmsg");
const { MessageReader } = require("@foxglove/rosmsg2-serialization");

// JSON has no infinity and no 64-bit integers.
function plain(value) {
  if (typeof value === "bigint") return value.toString();
  if (typeof value === "number" && !Number.isFinite(value)) return String(value);
  if (ArrayBuffer.isView(value)) return Array.from(value, plain);
  if (Array.isArray(value)) return value.map(plain);
  if (value instanceof Map) return Object.fromEntries([...value].map(([k, v]) => [k, plain(v)]));
  if (value && typeof value === "object") {
    return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, plain(v)]));
  }
  return value;
}

async function main() {
  const [path, start, end] = process.argv.slice(2);
  const file = await fs.open(path, "r");
  const { size } = await file.stat();
  const readable = {
    size: async () => BigInt(size),
    read: async (offset, length) => {
      const buffer = new Uint8Array(Number(length));
      const { bytesRead } = await file.read(buffer, 0, buffer.length, Number(offset));
      if (bytesRead !== buffer.length) throw new Error(`short read at ${offset}`);
      return buffer;
    },
  };
  const reader = await McapIndexedReader.Initialize({
    readable,
    decompressHandlers: await loadDecompressHandlers(),
  });
  const readers = new Map();
  for (const [id, schema] of reader.schemasById) {
    if (schema.encoding !== "ros2msg") continue;
    const text = new TextDecoder().decode(schema.data);
    readers.set(id, new MessageReader(parse(text, { ros2: true })));
  }
  const range = start === undefined ? {} : { startTime: BigInt(start), endTime: BigInt(end) };
  const messages = [];
  for await (const message of reader.readMessages({ ...range, validateCrcs: true })) {
    const channel = reader.channelsById.get(message.channelId);
    const ros = readers.get(channel.schemaId);
    messages.push({
      topic: channel.topic,
      sequence: message.sequence,
      logTime: message.logTime,
      publishTime: message.publishTime,
      ...(ros ? { scan: ros.readMessage(message.data) } : { data: message.data }),
    });
  }
  const out = {
    header: reader.header,
    statistics: reader.statistics,
    chunks: reader.chunkIndexes.map((c) => ({
      compression: c.compression,
      start: c.messageStartTime,
      end: c.messageEndTime,
    })),
    schemas: [...reader.schemasById.values()].map((s) => ({
      id: s.id,
      name: s.name,
      encoding: s.encoding,
      data: new TextDecoder().decode(s.data),
    })),
    channels: [...reader.channelsById.values()],
    messages,
  };
  await file.close();
  process.stdout.write(JSON.stringify(plain(out)) + "\n");
}

main().catch((error) => {
  process.stderr.write(`read-mcap: ${error.stack || error}\n`);
  process.exit(1);
});
