-- Table 21 添付検証: two file columns and an image column, with records
-- without attachments, cells with several attachments (clashing and
-- unusable names), attachment rows whose record is gone, large objects
-- that are gone, and more rows than one fetch holds. Content ids fall as
-- the keys rise. Loaded as the application role over the sample data.
INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date)
VALUES (21, '1', 21, '添付検証', '2024-01-01 00:00:00+09');
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type)
SELECT 21, c.id, c.typ, c.lname, c.seq, c.typ
FROM (VALUES (-1, 'key', 'キー', 0), (-2, 'user', '登録者', 901), (-3, 'datetime', '登録日時', 902),
             (-4, 'user', '更新者', 903), (-5, 'datetime', '更新日時', 904),
             (1, 'text', '件名', 10), (2, 'file', '添付', 20), (3, 'image', '写真', 30),
             (4, 'file', '資料', 40)) AS c(id, typ, lname, seq);

CREATE TABLE tbl00021 (rvkey numeric(9) PRIMARY KEY, regist_uname character varying(256),
  regist_date timestamp without time zone, update_uname character varying(256),
  update_date timestamp without time zone, col00001 text, col00002 character(1),
  col00003 numeric(9), col00004 character(1));
CREATE TABLE tbl00021_lob (LIKE tbl00001_lob INCLUDING ALL);

-- Records 1 to 1200 and 5000; every seventh record was deleted.
INSERT INTO tbl00021
SELECT g, '山田 太郎', timestamp '2024-01-01' + g * interval '1 minute', NULL, NULL::timestamp, '件名' || g,
       CASE WHEN g % 5 = 0 THEN NULL ELSE '1' END,
       CASE WHEN g % 3 = 0 THEN 900000 - g * 10 - 5 END,
       CASE WHEN g % 11 = 0 THEN '1' END
FROM generate_series(1, 1200) g WHERE g % 7 <> 0
UNION ALL SELECT 5000, '佐藤 花子', NULL, NULL, NULL, '最後', '1', NULL, NULL;

-- Column 2: one or two files per record (none for every fifth key), also
-- for deleted records, keys before the first and after the last record.
INSERT INTO tbl00021_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, lobfile)
SELECT 900000 - g * 10 - i, 2, g,
       CASE WHEN g % 13 = 0 THEN 'same.txt' WHEN (g + i) % 4 = 1 THEN '資料' || g || '.pdf'
            WHEN g % 10 = 1 THEN 'q?' || g || ':x.txt' ELSE 'doc' || g || '-' || i END,
       8, 'text/plain', lo_from_bytea(0, convert_to('c' || (900000 - g * 10 - i), 'UTF8'))
FROM generate_series(-2, 1210) g, generate_series(1, 2) i
WHERE g % 5 <> 0 AND i <= 1 + g % 2
UNION ALL SELECT 1, 2, 5000, 'same.txt', 2, 'text/plain', lo_from_bytea(0, convert_to('z1', 'UTF8'))
UNION ALL SELECT 2, 2, 5000, 'same.txt', 2, 'text/plain', lo_from_bytea(0, convert_to('z2', 'UTF8'))
UNION ALL SELECT 3, 2, 99999, 'gone.txt', 2, 'text/plain', lo_from_bytea(0, convert_to('z3', 'UTF8'));
-- Column 3: one image for every third key.
INSERT INTO tbl00021_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, img_width, img_height, lobfile)
SELECT 900000 - g * 10 - 5, 3, g, 'photo.png', 8, 'image/png', 2, 3,
       lo_from_bytea(0, convert_to('p' || g, 'UTF8'))
FROM generate_series(3, 1200, 3) g;
-- Column 4: eleven files of one name for every eleventh key.
INSERT INTO tbl00021_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, lobfile)
SELECT 2000000 + g * 20 + i, 4, g, 'readme', 4, 'text/plain', lo_from_bytea(0, convert_to('r' || g || '-' || i, 'UTF8'))
FROM generate_series(11, 1200, 11) g, generate_series(1, CASE WHEN g = 11 THEN 11 ELSE 2 END) i;

-- Large objects that are gone, and one row without any.
SELECT lo_unlink(lobfile) FROM tbl00021_lob WHERE (rvkey IN (12, 997, 1002) AND col_id = 2) OR content_id = 1;
UPDATE tbl00021_lob SET lobfile = NULL WHERE rvkey = 1003 AND col_id = 2;
